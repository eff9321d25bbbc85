#!/usr/bin/env bash
# A keyboard user's cursor on a page of the shipped program, through the accessibility
# bus: the song changes while the user's cursor is on another row, and the cursor, the
# selection and what Delete removes stay the user's (keyboard_cursor.py).
# Usage: keyboard_cursor.sh SORVEL PLAY_PROBE
set -euo pipefail
. "$(dirname "$0")/session.sh"
require Xvfb openbox xdotool
with_session_bus "$@"
sorvel=$1
probe=$2
session_begin
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
x_session_start 1024x768x24
accessibility_bus_start
sound_server_start

# The program beside its own files, with a first page of five songs; the first is short,
# so the song changes while the user moves the cursor.
app=$work/app
mkdir -p "$app"
cp "$sorvel" "$app/sorvel"
"$probe" make "$work/first.mp3" 4 440
for song in second third fourth fifth; do "$probe" make "$work/$song.mp3" 60 660; done
/usr/bin/python3 - "$app/MusicList1.dat" "$work" <<'PY'
import struct, sys
header = bytearray(500)
header[0:34] = b"Sorvel  1.x.x   Written by Sorvel."
header[41] = 27
names = ["first", "second", "third", "fourth", "fifth"]
header[42:46] = struct.pack("<i", len(names))
records = b""
for number, name in enumerate(names, 1):
    record = bytearray(500)
    record[4:8] = struct.pack("<i", number)
    path = ("%s/%s.mp3" % (sys.argv[2], name)).encode()
    record[8:8 + len(path)] = path
    records += bytes(record)
open(sys.argv[1], "wb").write(bytes(header) + records)
PY
"$app/sorvel" > "$work/sorvel.log" 2>&1 &
track $!
/usr/bin/python3 "$e2e_dir/keyboard_cursor.py" || fail "the keyboard cursor moved: $(cat "$work/sorvel.log")"
echo "ok"
