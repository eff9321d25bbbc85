#!/usr/bin/env bash
# Plays a generated MP3 through a private PulseAudio server with a null sink, records
# the sink's monitor and checks that the tone reached it.
set -euo pipefail
probe=$1
command -v pulseaudio >/dev/null && command -v parec >/dev/null || { echo "pulseaudio not installed"; exit 77; }

work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/run
export PULSE_RUNTIME_PATH=$work/run/pulse
export HOME=$work
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cleanup() {
  [ -n "${rec:-}" ] && kill "$rec" 2>/dev/null || true
  pulseaudio --kill >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
  --load="module-null-sink sink_name=sorvel_null" \
  --load="module-native-protocol-unix" --log-target=file:"$work/pa.log" 2>/dev/null
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink sorvel_null

parec -d sorvel_null.monitor --format=s16le --rate=44100 --channels=2 --raw > "$work/rec.raw" &
rec=$!
sleep 0.3
SDL_AUDIODRIVER=pulseaudio "$probe" play "$work" 2
sleep 0.3
kill "$rec"; wait "$rec" 2>/dev/null || true
rec=
"$probe" analyse "$work/rec.raw"
