#!/usr/bin/env bash
# Runs the real player strip on a virtual X display with a private PulseAudio null sink,
# presses play, takes a screenshot while the song plays, and checks that the clock ran,
# the spectrum moved and sound reached the sink. SHOT=path keeps the screenshot.
set -euo pipefail
. "$(dirname "$0")/session.sh"
demo=$1
probe=$2
require Xvfb pulseaudio parec import
session_begin
x_server_start 480x300x24
sound_server_start
record_start "$work/rec.raw"

# The sound server's own client library plays here, not SDL (the test runner picks SDL's dummy).
QT_QPA_PLATFORM=xcb env -u SDL_AUDIODRIVER "$demo" "$work" 6 > "$work/demo.txt" &
app=$!
track $app
playing_or_ended() { grep -qx playing "$work/demo.txt" || process_gone $app; }
wait_until 60 playing_or_ended
grep -qx playing "$work/demo.txt" || { cat "$work/demo.txt"; fail "the strip did not start playing"; }
import -window root "$work/shot.png"
status=0
wait "$app" || status=$?
cat "$work/demo.txt"
record_stop
[ -n "${SHOT:-}" ] && cp "$work/shot.png" "$SHOT"
"$probe" analyse-any "$work/rec.raw" || status=1
exit $status
