#!/usr/bin/env bash
# The shipped player given three pieces of one signal on its command line plays them
# back as the uncut signal: recorded at a private PulseAudio server's null sink, not one
# frame of silence, skip or repeat where the pieces meet. Prints the silence per join.
# Usage: gapless_joins.sh BUILD_DIR JOIN_PROBE
set -euo pipefail
. "$(dirname "$0")/session.sh"
require Xvfb openbox pulseaudio pactl parec cmake
build=$1
probe=$2
session_begin
install_player "$build"
"$probe" make "$work"

x_session_start 1024x768x24
sound_server_start
# A recording broken inside a piece while every join is exact tells of a machine too busy
# to feed the sound (a sanitizer build beside other tests): that try is made again.
for try in 1 2 3; do
  record_start "$work/rec.raw"
  "$sorvel" "$work/piece1.wav" "$work/piece2.wav" "$work/piece3.wav" > "$work/sorvel.log" 2>&1 &
  player=$!
  track $player
  # 3.9 s of sound, the start and what is on its way through the server; a sanitizer
  # build (SORVEL_E2E_SLOW) starts several times slower.
  if [ -n "${SORVEL_E2E_SLOW:-}" ]; then sleep 12; else sleep 5.5; fi
  record_stop
  kill "$player"
  wait_until 5 process_gone "$player" || fail "the player did not end when asked: $(cat "$work/sorvel.log")"
  wait "$player" || fail "the player ended badly: $(cat "$work/sorvel.log")"
  heard=0
  "$probe" analyse "$work/rec.raw" || heard=$?
  case $heard in
    0) echo "ok"; exit 0 ;;
    2) echo "try $try: the sound ran dry inside a piece; the joins were exact" ;;
    *) fail "the pieces did not play as one signal: $(cat "$work/sorvel.log")" ;;
  esac
done
echo "every try ran dry inside a piece: the machine is too busy to tell"
exit 77
