#!/usr/bin/env bash
# The shipped sorvel's two windows and its single running copy on a virtual X display
# with a window manager:
#   - two copies started at the same moment: exactly one keeps running, the other ends
#     with exit code 1 and shows no window;
#   - the strip dragged with the mouse to 5 pixels from the screen's left edge snaps to
#     it, and the playlist window glued beneath it follows by exactly the same offset;
#   - a third start ends with exit code 1 and only one strip exists;
#   - a copy killed without tidying up does not block the next start.
# Usage: docking_under_xvfb.sh SORVEL
set -euo pipefail
. "$(dirname "$0")/session.sh"
sorvel=$1
require Xvfb openbox xprop xdotool xwininfo wmctrl
session_begin
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb

app=$work/app
mkdir -p "$app"
cp "$sorvel" "$app/sorvel"
# The playlist window stands right under the strip (218 x 49 at (200, 100)): glued.
printf '[Control]\r\nViewPlayList=1\r\n[Data]\r\nMainX=200\r\nMainY=100\r\nPlayListX=200\r\nPlayListY=149\r\nPlayListW=300\r\nPlayListH=300\r\nVolume=30\r\n' > "$app/Sorvel.ini"

x_session_start 1024x768x24

strips() { xdotool search --name "^마루엘의 뮤직플레이어 Sorvel\$" 2>/dev/null | wc -l; }
position() { xwininfo -name "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} END{print x, y}'; }

"$app/sorvel" > "$work/a.log" 2>&1 & a=$!
"$app/sorvel" > "$work/b.log" 2>&1 & b=$!
track $a $b
one_gave_way() { { process_gone $a || process_gone $b; } && [ "$(strips)" -ge 1 ]; }
wait_until 20 one_gave_way || true
alive=0; ended=0
for p in $a $b; do
  if kill -0 $p 2>/dev/null; then alive=$((alive + 1)); first=$p
  else status=0; wait $p || status=$?; [ $status -eq 1 ] && ended=$((ended + 1)); fi
done
echo "started together: $alive running, $ended ended with code 1, $(strips) strip(s)"
[ $alive -eq 1 ] && [ $ended -eq 1 ] || fail "two copies started together"
[ "$(strips)" -eq 1 ] || fail "$(strips) strips"

placed() { [ "$(position "마루엘의 뮤직플레이어 Sorvel")" = "200 100" ] && [ "$(position "음악파일 리스트 - Sorvel")" = "200 149" ]; }
# Placed, and still there half a second later: the copy that gave way hands its start over
# meanwhile, and what is read is where the windows stay.
placed_and_staying() { placed && sleep 0.5 && placed; }
wait_until 10 placed_and_staying || true
[ "$(position "마루엘의 뮤직플레이어 Sorvel")" = "200 100" ] || fail "strip at $(position "마루엘의 뮤직플레이어 Sorvel")"
[ "$(position "음악파일 리스트 - Sorvel")" = "200 149" ] || fail "list at $(position "음악파일 리스트 - Sorvel")"
# Grab the strip in its spectrum area and drag it to 5 pixels from the left edge.
xdotool mousemove 210 110 mousedown 1
for step in $(seq 1 10); do xdotool mousemove $(( 210 - step * 20 )) $(( 110 + step * 5 )); sleep 0.05; done
xdotool mousemove 15 160; sleep 0.3
xdotool mouseup 1
snapped() { [ "$(position "마루엘의 뮤직플레이어 Sorvel")" = "0 150" ] && [ "$(position "음악파일 리스트 - Sorvel")" = "0 199" ]; }
wait_until 5 snapped || true
strip=$(position "마루엘의 뮤직플레이어 Sorvel")
list=$(position "음악파일 리스트 - Sorvel")
echo "after the drag: strip at $strip, playlist window at $list"
[ "$strip" = "0 150" ] || fail "the strip did not snap to the edge: $strip"
[ "$list" = "0 199" ] || fail "the playlist window did not follow: $list"

status=0
timeout 10 "$app/sorvel" > "$work/c.log" 2>&1 || status=$?
[ $status -eq 1 ] || fail "a second start ended with $status"
[ "$(strips)" -eq 1 ] || fail "$(strips) strips after a second start"

# A crash leaves the socket behind; the next start must not take it for a running copy.
kill -9 $first; wait $first 2>/dev/null || true
"$app/sorvel" > "$work/d.log" 2>&1 & d=$!
track $d
wait_until 20 strip_window >/dev/null || true
kill -0 $d 2>/dev/null || fail "a start after a crash ended: $(cat "$work/d.log")"
[ "$(strips)" -eq 1 ] || fail "no strip after a crash"
wmctrl -c "마루엘의 뮤직플레이어 Sorvel"
status=0
wait_until 5 process_gone $d || true
wait $d || status=$?
[ $status -eq 0 ] || fail "closing ended with $status"
echo "ok"
