#!/usr/bin/env bash
# Runs the real player strip on a virtual X display with a private PulseAudio null sink,
# presses play, takes a screenshot while the song plays, and checks that the clock ran,
# the spectrum moved and sound reached the sink. SHOT=path keeps the screenshot.
set -euo pipefail
demo=$1
probe=$2
for tool in Xvfb pulseaudio parec import; do
  command -v $tool >/dev/null || { echo "$tool not installed"; exit 77; }
done

work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/run HOME=$work
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cleanup() {
  [ -n "${rec:-}" ] && kill "$rec" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  pulseaudio --kill >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it out once it accepts clients.
Xvfb -displayfd 3 -screen 0 480x300x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
display=:$(head -n 1 "$work/display")
pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
  --load="module-null-sink sink_name=sorvel_null" --load="module-native-protocol-unix" \
  --log-target=file:"$work/pa.log" 2>/dev/null
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink sorvel_null
parec -d sorvel_null.monitor --format=s16le --rate=44100 --channels=2 --raw > "$work/rec.raw" &
rec=$!

# The sound server's own client library plays here, not SDL (the test runner picks SDL's dummy).
DISPLAY=$display QT_QPA_PLATFORM=xcb env -u SDL_AUDIODRIVER "$demo" "$work" 6 &
app=$!
sleep 4.5
DISPLAY=$display import -window root "$work/shot.png"
status=0
wait "$app" || status=$?
kill "$rec"; wait "$rec" 2>/dev/null || true
rec=
[ -n "${SHOT:-}" ] && cp "$work/shot.png" "$SHOT"
"$probe" analyse-any "$work/rec.raw" || status=1
exit $status
