#!/usr/bin/env bash
# Every task by keyboard and by screen reader, on the shipped program: a virtual X display
# with a window manager and a notification area, a private session bus with the
# accessibility bus, and a private sound server. keyboard_walk.py presses keys and reads
# the accessibility tree only.
# Usage: keyboard_walk.sh SORVEL PLAY_PROBE
set -euo pipefail
. "$(dirname "$0")/session.sh"
require Xvfb openbox xdotool trayer
with_session_bus "$@"
sorvel=$1
probe=$2
session_begin
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
x_session_start 1024x768x24
accessibility_bus_start
sound_server_start
trayer --edge bottom --align right --widthtype pixel --width 100 --heighttype pixel --height 24 >/dev/null 2>&1 &
track $!

# The program beside its own files, with three songs on the temporary list.
app=$work/app
mkdir -p "$app"
cp "$sorvel" "$app/sorvel"
for song in first second third; do "$probe" make "$work/$song.mp3" 60 440; done
printf '\xef\xbb\xbf%s\r\n%s\r\n%s\r\n' "$work/first.mp3" "$work/second.mp3" "$work/third.mp3" > "$app/Temprary.txt"
"$app/sorvel" > "$work/sorvel.log" 2>&1 &
track $!
/usr/bin/python3 "$e2e_dir/keyboard_walk.py" "\"$app/sorvel\" >/dev/null 2>&1" \
  || fail "the keyboard walk failed: $(cat "$work/sorvel.log")"
echo "ok"
