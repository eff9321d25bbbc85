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
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${SORVEL_E2E_INNER:-}" ]; then
  for tool in Xvfb openbox xprop pulseaudio parec pactl xdotool xwininfo wmctrl iconv dbus-run-session import; do
    command -v $tool >/dev/null || { echo "$tool not installed"; exit 77; }
  done
  [ -x /usr/libexec/at-spi-bus-launcher ] && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null \
    || { echo "accessibility bus not installed"; exit 77; }
  export SORVEL_E2E_INNER=1
  exec dbus-run-session -- "$0" "$@"
fi

sorvel=$1
probe=$2
dragsource=$3
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/run HOME=$work QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pids=()
cleanup() {
  x_session_stop
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  pulseaudio --kill >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

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

. "$here/x_session.sh"
x_session_start 1024x900x24
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & pids+=($!)
pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
  --load="module-null-sink sink_name=sorvel_null" --load="module-native-protocol-unix" \
  --log-target=file:"$work/pa.log" 2>/dev/null
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink sorvel_null
pactl set-sink-volume sorvel_null 100%
sleep 0.5

# The program's own choice of sound output (the sound server's client library), whatever
# the test runner picked for the other tests.
env -u SDL_AUDIODRIVER QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
  "$app/sorvel" > "$work/sorvel.log" 2>&1 &
sorvel_pid=$!
pids+=($sorvel_pid)
a11y() { /usr/bin/python3 "$here/atspi_probe.py" "$@"; }
a11y find "page tab" "Temprary" >/dev/null || fail "the playlist window did not appear"
sleep 0.5

# Default places with no Sorvel.ini: the strip at (200, 100), the list at (200, 200), 400 x 600.
geometry() { xwininfo -name "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width/{w=$NF} /Height/{h=$NF} END{print x, y, w, h}'; }
strip=$(geometry "마루엘의 뮤직플레이어 Sorvel")
list=$(geometry "음악파일 리스트 - Sorvel")
echo "strip at $strip, playlist window at $list"
[ "$strip" = "200 100 218 49" ] || fail "strip at $strip"
[ "$list" = "200 200 400 600" ] || fail "playlist window at $list"

# A folder dragged from another program onto the first page. An XDND drag driven by
# xdotool is sometimes cancelled by the source before it drops (it saw no acceptance for
# the last position); a cancelled drag changes nothing, so it is simply tried again.
target=$(a11y find "tree" "최신음악") || fail "no first page"
for attempt in 1 2 3 4 5; do
  "$dragsource" "$work/drop" > "$work/drag.log" 2>&1 & source_pid=$!
  pids+=($source_pid)
  source_window=
  for _ in $(seq 50); do
    source_window=$(xdotool search --name '^drag source$' 2>/dev/null | head -1) && [ -n "$source_window" ] && break
    sleep 0.1
  done
  [ -n "$source_window" ] || fail "the drag source did not show"
  sleep 0.5
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
  sleep 1.5
  grep -q '^dropped [1-9]' "$work/drag.log" && break
  kill $source_pid 2>/dev/null || true
  echo "drag attempt $attempt was cancelled (source at $X,$Y: $(cat "$work/drag.log"))"
done
page=$(a11y names "tree" "최신음악" | grep -v '^1$' | tr '\n' ' ')
echo "first page after the drop: $page"
[ "$page" = "하늘.mp3 drop sub c.mp3 " ] || fail "the drop gave: $page ($(cat "$work/drag.log"))"

# Double-click 바다.mp3 on the temporary list where the accessibility bus says it is.
parec -d sorvel_null.monitor --format=s16le --rate=44100 --channels=2 --raw > "$work/rec.raw" & rec=$!
pids+=($rec)
tab=$(a11y find "page tab" "Temprary")
xdotool mousemove ${tab% *} ${tab#* } click 1
sleep 0.5
cell=$(a11y find "table cell" "$work/노래/바다.mp3") || fail "no list entry for 바다.mp3"
xdotool mousemove ${cell% *} ${cell#* } click --repeat 2 --delay 60 1
sleep 4
import -window root "$work/shot.png"
[ -n "${SHOT:-}" ] && cp "$work/shot.png" "$SHOT"
# Playing through the sound server's own client: SDL, the fallback, was never loaded.
! grep -q libSDL2 /proc/$sorvel_pid/maps || fail "SDL was loaded although the sound server answered"
sleep 2.5
kill $rec; wait $rec 2>/dev/null || true
"$probe" tones "$work/rec.raw" > "$work/tones.txt"
# The tones in the order they were heard: 440 Hz (바다), then 1 kHz (하늘); the list may
# already have wrapped round to 바다 again.
# (A window that straddles the change from one song to the next has neither peak.)
order=$(awk '{ t = ($2 >= 400 && $2 <= 480) ? "low" : ($2 >= 950 && $2 <= 1050) ? "high" : "";
               if (t != "" && t != last) { printf "%s ", t; last = t } }' "$work/tones.txt")
echo "heard: $order"
case "$order" in
  "low high "*) ;;
  *) fail "expected 바다 then 하늘, heard: $(tr '\n' ' ' < "$work/tones.txt")" ;;
esac

# The master-volume track: a click in its middle sets 49 %.
track=$(a11y find "slider" "마스터 볼륨") || fail "no master-volume bar"
xdotool mousemove ${track% *} ${track#* } click 1
sleep 0.5
volume=$(pactl get-sink-volume sorvel_null | grep -o '[0-9]*%' | head -1)
echo "sink volume after the click: $volume"
[ "$volume" = "49%" ] || fail "the master volume is $volume"

wmctrl -c "마루엘의 뮤직플레이어 Sorvel"
for _ in $(seq 50); do kill -0 $sorvel_pid 2>/dev/null || break; sleep 0.1; done
status=0
wait $sorvel_pid || status=$?
[ $status -eq 0 ] || fail "sorvel ended with $status"
cmp "$work/Temprary.before" "$app/Temprary.txt" || fail "Temprary.txt changed"
cmp "$work/MusicList1.before" "$app/MusicList1.dat" || fail "a page file was written"
ls "$app"/MusicList[2-5].dat >/dev/null 2>&1 && fail "page files were written"
grep -q '^ViewPlayList=1' "$app/Sorvel.ini" || fail "Sorvel.ini: $(cat "$app/Sorvel.ini")"
echo "ok"
