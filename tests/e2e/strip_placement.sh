#!/usr/bin/env bash
# The strip's place under a real window manager (openbox on Xvfb):
# 1. the toolkit's idea of the window's position matches the X server's from the first
#    showing on, a drag by (+10, +10) moves it by that much, and closing stores that place;
# 2. the shipped program, closed without being moved, stores where it stands;
# 3. a stored place off the screen and a volume off the track come back onto them.
# Usage: strip_placement.sh PROBE SORVEL
set -euo pipefail
. "$(dirname "$0")/session.sh"
probe=$1
sorvel=$2
session_begin
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb
x_session_start 800x600x24
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ini_value() { tr -d '\r' < "$1" | sed -n "s/^$2=//p"; }
# The strip stands at X Y as the server has it, and the toolkit (which writes where it
# believes the window is every 100 ms) has caught up with it.
standing_at() { [ "$(server_position "$window")" = "$1" ] && [ "$(cat "$folder/toolkit-position" 2>/dev/null)" = "$1" ]; }

drag_by_ten() {
  local x y
  read -r x y <<< "$(server_position "$1")"
  # (31, 11) in the window is in the spectrum area of the display panel, which moves the window.
  xdotool mousemove $((x + 31)) $((y + 11)) mousedown 1 mousemove $((x + 36)) $((y + 16)) \
    mousemove $((x + 41)) $((y + 21)) mouseup 1
  wait_until 5 standing_at "$((x + 10)) $((y + 10))" || true
}

# 1. The toolkit and the server agree, several fresh starts in a row.
for run in 1 2 3 4 5; do
  folder=$work/probe$run
  mkdir -p "$folder"
  "$probe" "$folder" 30 > "$folder/out.txt" 2>&1 &
  app=$!
  track $app
  window=$(strip_window) || { fail "run $run: no strip window"; kill $app; continue; }
  wait_until 5 standing_at "200 100" || true
  server=$(server_position "$window")
  toolkit=$(cat "$folder/toolkit-position")
  echo "run $run: shown at server [$server] toolkit [$toolkit]"
  [ "$server" = "200 100" ] || fail "run $run: the server placed the strip at $server"
  [ "$toolkit" = "$server" ] || fail "run $run: the toolkit believes $toolkit, the server says $server"
  drag_by_ten "$window"
  server=$(server_position "$window")
  toolkit=$(cat "$folder/toolkit-position")
  echo "run $run: dragged to server [$server] toolkit [$toolkit]"
  [ "$server" = "210 110" ] || fail "run $run: a drag by (10, 10) took the strip to $server"
  [ "$toolkit" = "$server" ] || fail "run $run: after the drag the toolkit believes $toolkit"
  touch "$folder/quit"
  wait $app || fail "run $run: the probe failed"
  [ "$(ini_value "$folder/Sorvel.ini" MainX) $(ini_value "$folder/Sorvel.ini" MainY)" = "210 110" ] \
    || fail "run $run: Sorvel.ini holds $(tr -d '\r' < "$folder/Sorvel.ini" | grep Main | tr '\n' ' ')"
done

# The shipped program keeps its settings beside itself: give it a folder of its own.
# run_sorvel FOLDER "X Y" starts it there and gives its strip time to settle at X Y.
run_sorvel() {
  local folder=$1
  cp "$sorvel" "$folder/sorvel"
  "$folder/sorvel" > "$folder/out.txt" 2>&1 &
  app=$!
  track $app
  window=$(strip_window) || { fail "sorvel showed no strip"; kill $app; return 1; }
  wait_until 5 server_at "$2" || true
}
server_at() { [ "$(server_position "$window")" = "$1" ]; }
close_sorvel() {
  # The window manager asks the strip itself to close (not whichever window is active:
  # that may be the playlist window, which only hides).
  wmctrl -i -c "$window" 2>/dev/null || true
  wait $app || fail "sorvel exited with an error"
}

# 2. Closing without moving stores the place it stands at.
for run in 1 2 3; do
  folder=$work/sorvel$run
  mkdir -p "$folder"
  run_sorvel "$folder" "200 100" || continue
  server=$(server_position "$window")
  close_sorvel
  stored="$(ini_value "$folder/Sorvel.ini" MainX) $(ini_value "$folder/Sorvel.ini" MainY)"
  echo "sorvel run $run: stood at [$server], stored [$stored]"
  [ "$stored" = "$server" ] && [ "$stored" = "200 100" ] || fail "sorvel run $run stored $stored"
done

# 3. A place and a volume the strip cannot stand at.
folder=$work/offscreen
mkdir -p "$folder"
printf '[Control]\r\nViewPlayList=0\r\n[Data]\r\nMainX=-99999\r\nMainY=99999\r\nVolume=99999\r\n' > "$folder/Sorvel.ini"
if run_sorvel "$folder" "0 $((600 - 49))"; then
  server=$(server_position "$window")
  read -r width height <<< "$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')"
  echo "off-screen settings: the strip stands at [$server], $width x $height"
  [ "$server" = "0 $((600 - 49))" ] && [ "$width $height" = "218 49" ] || fail "off-screen place gave $server"
  close_sorvel
  echo "stored: $(tr -d '\r' < "$folder/Sorvel.ini" | grep -E 'Main|Volume' | tr '\n' ' ')"
  [ "$(ini_value "$folder/Sorvel.ini" MainY)" = "551" ] || fail "stored MainY $(ini_value "$folder/Sorvel.ini" MainY)"
  [ "$(ini_value "$folder/Sorvel.ini" Volume)" = "55" ] || fail "stored Volume $(ini_value "$folder/Sorvel.ini" Volume)"
fi

[ $failures -eq 0 ] && echo "placement: all checks passed"
exit $((failures > 0))
