#!/usr/bin/env bash
# The shipped sorvel as a user meets it, on a virtual X display with a window manager, a
# private PulseAudio server with a null sink and the accessibility bus:
#   - a fresh start (no Sorvel.ini) shows both windows at their default places;
#   - the temporary list read from a code-page-949 "Temprary.txt" is shown; an entry is
#     double-clicked where the accessibility bus says it is, and its sound reaches the
#     sink through the sound server's own client (SDL is not loaded); the 2-second
#     song is followed by the next entry;
#   - a folder dragged from another program (XDND) onto a page becomes entries;
#   - a click on the master-volume track sets the sink's volume;
#   - closing writes "Temprary.txt" byte for byte as it was and no page file.
# Usage: playlist_under_xvfb.sh SORVEL PROBE DRAG_SOURCE. SHOT=path keeps a screenshot.
set -euo pipefail
. "$(dirname "$0")/session.sh"
require Xvfb openbox xprop pulseaudio parec pactl xdotool xwininfo wmctrl iconv import
with_session_bus "$@"

sorvel=$1
probe=$2
dragsource=$3
session_begin
export QT_QPA_PLATFORM=xcb

# The program keeps its files beside the executable: give it a folder of its own.
app=$work/app
mkdir -p "$app" "$work/노래" "$work/drop/sub"
cp "$sorvel" "$app/sorvel"
"$probe" make "$work/노래/바다.mp3" 2 440
"$probe" make "$work/노래/하늘.mp3" 3 1000
"$probe" make "$work/drop/sub/c.mp3" 1 1000
echo "not music" > "$work/drop/notes.txt"
printf '%s\r\n%s\r\n' "$work/노래/바다.mp3" "$work/노래/하늘.mp3" | iconv -f UTF-8 -t CP949 > "$app/Temprary.txt"
# One saved page: the page header and one record for 하늘.mp3.
/usr/bin/python3 - "$app/MusicList1.dat" "$work/노래/하늘.mp3" <<'PY'
import struct, sys
path = sys.argv[2].encode("cp949")
header = bytearray(500)
header[0:34] = b"Sorvel  1.x.x   Written by Sorvel."
header[41] = 27
header[42:46] = struct.pack("<i", 1)
record = bytearray(500)
record[4:8] = struct.pack("<i", 1)
record[8:8 + len(path)] = path
open(sys.argv[1], "wb").write(bytes(header) + bytes(record))
PY
cp "$app/Temprary.txt" "$work/Temprary.before"
cp "$app/MusicList1.dat" "$work/MusicList1.before"

x_session_start 1024x900x24
accessibility_bus_start
sound_server_start

# The program's own choice of sound output (the sound server's client library), whatever
# the test runner picked for the other tests.
env -u SDL_AUDIODRIVER QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
  "$app/sorvel" > "$work/sorvel.log" 2>&1 &
sorvel_pid=$!
track $sorvel_pid
a11y() { /usr/bin/python3 "$e2e_dir/atspi_probe.py" "$@"; }
a11y find "page tab" "Temprary" >/dev/null || fail "the playlist window did not appear"

# Default places with no Sorvel.ini: the strip at (200, 100), the list at (200, 200), 400 x 600.
geometry() { xwininfo -name "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width/{w=$NF} /Height/{h=$NF} END{print x, y, w, h}'; }
placed() { [ "$(geometry "마루엘의 뮤직플레이어 Sorvel")" = "200 100 218 49" ] && [ "$(geometry "음악파일 리스트 - Sorvel")" = "200 200 400 600" ]; }
wait_until 5 placed || true
strip=$(geometry "마루엘의 뮤직플레이어 Sorvel")
list=$(geometry "음악파일 리스트 - Sorvel")
echo "strip at $strip, playlist window at $list"
[ "$strip" = "200 100 218 49" ] || fail "strip at $strip"
[ "$list" = "200 200 400 600" ] || fail "playlist window at $list"

# A folder dragged from another program onto the first page. An XDND drag driven by
# xdotool is sometimes cancelled by the source before it drops (it saw no acceptance for
# the last position); a cancelled drag changes nothing, so it is simply tried again.
target=$(a11y find "list" "최신음악") || fail "no first page"
# The window manager has taken the drag source on (it sets WM_STATE once it manages it).
drag_source_managed() {
  local id
  id=$(xdotool search --name '^drag source$' 2>/dev/null | head -1)
  case "$(xprop -id "${id:-none}" WM_STATE 2>/dev/null)" in *Normal*) return 0 ;; esac
  return 1
}
for attempt in 1 2 3 4 5; do
  "$dragsource" "$work/drop" > "$work/drag.log" 2>&1 & source_pid=$!
  track $source_pid
  wait_until 10 drag_source_managed || fail "the drag source did not show"
  source_window=$(xdotool search --name '^drag source$' 2>/dev/null | head -1)
  eval "$(xdotool getwindowgeometry --shell "$source_window")"
  sx=$(( X + WIDTH / 2 )); sy=$(( Y + HEIGHT / 2 ))
  xdotool mousemove $sx $sy; sleep 0.3
  xdotool mousedown 1; sleep 0.3
  for step in $(seq 1 12); do
    xdotool mousemove $(( sx + step * (${target% *} - sx) / 12 )) $(( sy + step * (${target#* } - sy) / 12 ))
    sleep 0.05
  done
  sleep 0.3
  xdotool mousemove $(( ${target% *} + 3 )) $(( ${target#* } + 2 )); sleep 1
  xdotool mouseup 1
  wait_until 10 grep -q '^dropped ' "$work/drag.log" || true
  grep -q '^dropped [1-9]' "$work/drag.log" && break
  kill $source_pid 2>/dev/null || true
  echo "drag attempt $attempt was cancelled (source at $X,$Y: $(cat "$work/drag.log"))"
done
page=$(a11y names "list" "최신음악" | grep -v '^번호와 곡 이름$' | tr '\n' ' ')
echo "first page after the drop: $page"
[ "$page" = "하늘.mp3 drop sub c.mp3 " ] || fail "the drop gave: $page ($(cat "$work/drag.log"))"

# Double-click 바다.mp3 on the temporary list where the accessibility bus says it is.
record_start "$work/rec.raw"
tab=$(a11y find "page tab" "Temprary")
xdotool mousemove ${tab% *} ${tab#* } click 1
cell=$(a11y find "list item" "$work/노래/바다.mp3") || fail "no list entry for 바다.mp3"
xdotool mousemove ${cell% *} ${cell#* } click --repeat 2 --delay 60 1
# The tones in the order they were heard: 440 Hz (바다), then 1 kHz (하늘); the list may
# already have wrapped round to 바다 again.
# (A window that straddles the change from one song to the next has neither peak.)
heard_order() {
  "$probe" tones "$work/rec.raw" > "$work/tones.txt"
  awk '{ t = ($2 >= 400 && $2 <= 480) ? "low" : ($2 >= 950 && $2 <= 1050) ? "high" : "";
         if (t != "" && t != last) { printf "%s ", t; last = t } }' "$work/tones.txt"
}
heard_both() { case "$(heard_order)" in *"low high "*) return 0 ;; esac; return 1; }
wait_until 20 heard_both || true
import -window root "$work/shot.png"
[ -n "${SHOT:-}" ] && cp "$work/shot.png" "$SHOT"
# Playing through the sound server's own client: SDL, the fallback, was never loaded.
! grep -q libSDL2 /proc/$sorvel_pid/maps || fail "SDL was loaded although the sound server answered"
record_stop
order=$(heard_order)
echo "heard: $order"
case "$order" in
  "low high "*) ;;
  *) fail "expected 바다 then 하늘, heard: $(tr '\n' ' ' < "$work/tones.txt")" ;;
esac

# The master-volume track: a click in its middle sets 49 %.
track=$(a11y find "slider" "마스터 볼륨") || fail "no master-volume bar"
xdotool mousemove ${track% *} ${track#* } click 1
sink_volume() { pactl get-sink-volume sorvel_null | grep -o '[0-9]*%' | head -1; }
at_49() { [ "$(sink_volume)" = 49% ]; }  # read anew at each try
wait_until 5 at_49 || true
volume=$(sink_volume)
echo "sink volume after the click: $volume"
[ "$volume" = "49%" ] || fail "the master volume is $volume"

wmctrl -c "마루엘의 뮤직플레이어 Sorvel"
wait_until 5 process_gone $sorvel_pid || true
status=0
wait $sorvel_pid || status=$?
[ $status -eq 0 ] || fail "sorvel ended with $status"
cmp "$work/Temprary.before" "$app/Temprary.txt" || fail "Temprary.txt changed"
cmp "$work/MusicList1.before" "$app/MusicList1.dat" || fail "a page file was written"
ls "$app"/MusicList[2-5].dat >/dev/null 2>&1 && fail "page files were written"
grep -q '^ViewPlayList=1' "$app/Sorvel.ini" || fail "Sorvel.ini: $(cat "$app/Sorvel.ini")"
echo "ok"
