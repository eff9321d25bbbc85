#!/usr/bin/env bash
# The shipped sorvel plays where "OutputDevice" in "Sorvel.ini" says, on a virtual X
# display and a private PulseAudio server with two null sinks: with the key empty the
# song reaches the server's default sink (sorvel_null); naming the other sink sends it
# there; a name the server does not know is said once on stderr and the song reaches the
# default sink. The key is kept as it was when the program ends.
# Usage: output_device.sh SORVEL PLAY_PROBE
set -euo pipefail
. "$(dirname "$0")/session.sh"
require Xvfb openbox xprop xdotool pulseaudio parec pactl

sorvel=$1
probe=$2
session_begin
export QT_QPA_PLATFORM=xcb
app=$work/app
mkdir -p "$app"
cp "$sorvel" "$app/sorvel"
"$probe" make "$work/tone.mp3" 30 1000

x_session_start 1024x768x24
sound_server_start
pactl load-module module-null-sink sink_name=sorvel_other >/dev/null

# Plays the song with OutputDevice set to $1 and records the sink $2 until the tone is
# heard there; the program's stderr is left in $work/sorvel.log.
play_on() {
  local device=$1 sink=$2 rec=$work/$2.raw
  printf '[Control]\r\nOutputDevice=%s\r\n[Data]\r\nVolume=55\r\n' "$device" > "$app/Sorvel.ini"
  parec -d "$sink.monitor" --format=s16le --rate=44100 --channels=2 --raw > "$rec" &
  local recorder=$!
  track $recorder
  "$app/sorvel" "$work/tone.mp3" > "$work/sorvel.log" 2>&1 &
  local player=$!
  track $player
  local found=
  for _ in $(seq 100); do
    "$probe" tones "$rec" | awk '$2 > 960 && $2 < 1040 { found = 1 } END { exit !found }' && { found=1; break; }
    sleep 0.1
  done
  end_processes $player $recorder
  [ -n "$found" ] || fail "OutputDevice=\"$device\": the song did not reach $sink: $(cat "$work/sorvel.log")"
  grep -q "^OutputDevice=$device"$'\r'"\$" "$app/Sorvel.ini" || fail "OutputDevice=\"$device\" was not kept: $(cat -A "$app/Sorvel.ini")"
}

unset SDL_AUDIODRIVER
play_on "" sorvel_null
grep -q "output device" "$work/sorvel.log" && fail "a default device was reported: $(cat "$work/sorvel.log")"
play_on sorvel_other sorvel_other
grep -q "output device" "$work/sorvel.log" && fail "a sink that is there was reported: $(cat "$work/sorvel.log")"
play_on no_such_sink sorvel_null
[ "$(grep -c 'the output device "no_such_sink" could not be opened' "$work/sorvel.log")" = 1 ] \
  || fail "the missing sink was not said once: $(cat "$work/sorvel.log")"
echo "ok"
