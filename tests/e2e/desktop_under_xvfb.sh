#!/usr/bin/env bash
# Sorvel installed with `cmake --install` and used from the desktop, on a virtual X
# display with a window manager, a private session bus (media controls, accessibility)
# and a private PulseAudio server with a null sink:
#   - `sorvel 바다.mp3` from the song's folder plays it (sound reaches the sink) and the
#     media controls show its code-page-949 tags;
#   - "Open with Sorvel" (the desktop entry's Exec line) while it runs ends with code 1
#     and the running copy plays the file handed over;
#   - playerctl pauses (silence, the strip's clock stands still), plays, sets the volume
#     knob, goes to the next song and raises the player;
#   - SIGTERM ends it with code 0, Sorvel.ini and Temprary.txt written in
#     $XDG_CONFIG_HOME/sorvel.
# Usage: desktop_under_xvfb.sh BUILD_DIR PROBE. SHOT=path keeps a screenshot.
set -euo pipefail
. "$(dirname "$0")/session.sh"
require Xvfb openbox xprop xdotool pulseaudio parec pactl playerctl gdbus gio iconv import
with_session_bus "$@"

build=$1
probe=$2
session_begin
export HOME=$work/home XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
mkdir -p "$HOME"
fail() { echo "FAIL: $*"; [ -f "$work/sorvel.log" ] && cat "$work/sorvel.log"; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
export PATH=$prefix/bin:$PATH XDG_DATA_DIRS=$prefix/share:/usr/share

songs=$work/노래
mkdir -p "$songs"
"$probe" make "$songs/바다.mp3" 4 440
"$probe" make "$songs/하늘.mp3" 4 1000
# An ID3v1 tag in code page 949, as old Korean files have it.
/usr/bin/python3 - "$songs/바다.mp3" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
if data[:3] == b"ID3":  # the encoder's own ID3v2 tag would hide the ID3v1 one
    size = (data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9]
    data = data[10 + size:]
field = lambda text, n: text.encode("cp949").ljust(n, b"\0")
tag = b"TAG" + field("바다의 노래", 30) + field("가수", 30) + field("앨범", 30) + b"2003" + b"\0" * 30 + b"\x0c"
open(sys.argv[1], "wb").write(data + tag)
PY

x_session_start 1024x768x24
accessibility_bus_start
sound_server_start
record_start "$work/rec.raw"
mark() { echo "$1 $(( $(stat -c %s "$work/rec.raw") / 4 ))" >> "$work/marks"; }

# 1. From the command line, a path relative to the caller's folder.
(cd "$songs" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 SDL_AUDIODRIVER=pulseaudio exec sorvel 바다.mp3 > "$work/sorvel.log" 2>&1) &
sorvel_pid=$!
track $sorvel_pid
pc() { playerctl -p sorvel "$@" 2>/dev/null; }
says() {  # says EXPECTED COMMAND...: the command prints EXPECTED
  local want=$1; shift
  [ "$("$@" 2>/dev/null)" = "$want" ]
}
wait_for() {  # wait_for EXPECTED COMMAND...
  wait_until 6 says "$@"
}
# What reached the sink, window by window: 440 Hz, 1 kHz, silence while paused, 1 kHz, 440 Hz.
heard() {  # heard FROM [TO]: the tones heard between two marks (or since FROM), after the sound server's delay
  local from to
  "$probe" tones "$work/rec.raw" > "$work/tones.txt"
  from=$(awk -v m="$1" '$1 == m { print $2 / 44100 + 0.5 }' "$work/marks")
  if [ -n "${2:-}" ]; then
    to=$(awk -v m="$2" '$1 == m { print $2 / 44100 }' "$work/marks")
  else
    to=$(awk -v bytes="$(stat -c %s "$work/rec.raw")" 'BEGIN { print bytes / 4 / 44100 }')
  fi
  awk -v a="$from" -v b="$to" '$1 >= a && $1 < b - 0.1 {
      t = ($2 >= 400 && $2 <= 480) ? "low" : ($2 >= 950 && $2 <= 1050) ? "high" : "other"; n[t]++ }
    END { printf "low=%d high=%d other=%d\n", n["low"], n["high"], n["other"] }' "$work/tones.txt"
}
heard_since() {  # heard_since MARK TONE: TONE has been heard since MARK
  case "$(heard "$1")" in *"$2"=[1-9]*) return 0 ;; esac
  return 1
}
wait_for Playing pc status || fail "not playing after start: $(pc status)"
mark start
# SDL's second period reaches a PulseAudio null sink late.
wait_until 15 heard_since start low || true
[ "$(pc metadata title)" = "바다의 노래" ] || fail "title: $(pc metadata title)"
[ "$(pc metadata artist)" = "가수" ] || fail "artist: $(pc metadata artist)"
[ "$(pc metadata album)" = "앨범" ] || fail "album: $(pc metadata album)"
case "$(pc metadata xesam:url)" in *"/%EB%85%B8%EB%9E%98/%EB%B0%94%EB%8B%A4.mp3") ;;
  *) fail "url: $(pc metadata xesam:url)" ;; esac
length=$(pc metadata mpris:length)
[ "$length" -ge 3900000 ] && [ "$length" -le 4100000 ] || fail "length: $length"

# 2. "Open with Sorvel" from the file manager while it runs: a second start.
mark launch
status=0
(cd / && timeout 10 gio launch "$prefix/share/applications/sorvel.desktop" "$songs/하늘.mp3") || status=$?
[ $status -eq 0 ] || fail "gio launch ended with $status"
wait_for "하늘.mp3" pc metadata title || fail "the running copy did not play the handed file: $(pc metadata title)"
strips=$(xdotool search --name '^마루엘의 뮤직플레이어 Sorvel$' 2>/dev/null | wc -l)
[ "$strips" -eq 1 ] || fail "$strips strips after Open with"
second=0
(cd "$songs" && timeout 10 sorvel 하늘.mp3 > /dev/null 2>&1) || second=$?
[ $second -eq 1 ] || fail "a second start ended with $second"
mark handed
wait_until 15 heard_since handed high || true

# 3. Pause: silence, and the strip's clock stands still.
clock() { /usr/bin/python3 "$e2e_dir/atspi_probe.py" tree | grep -o '^label|[0-9][0-9]:[0-9][0-9]-[0-9][0-9]:[0-9][0-9]' | head -1; }
pc pause
wait_for Paused pc status || fail "not paused: $(pc status)"
mark paused
# Long enough a pause to hear silence in, and to see the clock stand still over.
sleep 1.2
before=$(clock)
sleep 1.5
after=$(clock)
[ -n "$before" ] && [ "$before" = "$after" ] || fail "the clock ran while paused: $before then $after"
mark resumed
pc play
wait_for Playing pc status || fail "not playing after play: $(pc status)"
clock_moved() { [ "$(clock)" != "$before" ]; }
wait_until 5 clock_moved || fail "the clock did not run after play"

# 4. The volume knob, raising, next.
pc volume 0.5
volume=$(pc volume)
awk -v v="$volume" 'BEGIN { exit !(v > 0.45 && v < 0.55) }' || fail "volume after 0.5: $volume"
gdbus call --session --dest org.mpris.MediaPlayer2.sorvel --object-path /org/mpris/MediaPlayer2 \
  --method org.mpris.MediaPlayer2.Raise >/dev/null || fail "Raise"
mark next
pc next
wait_for "바다의 노래" pc metadata title || fail "next did not wrap to the first entry: $(pc metadata title)"
wait_until 15 heard_since next low || true
import -window root "$work/shot.png"
[ -n "${SHOT:-}" ] && cp "$work/shot.png" "$SHOT"
mark end
record_stop

echo "start: $(heard start launch); handed: $(heard handed paused); paused: $(heard paused resumed); next: $(heard next end)"
case "$(heard start launch)" in low=[1-9]*) ;; *) fail "바다 not heard at the start" ;; esac
case "$(heard handed paused)" in *high=[1-9]*) ;; *) fail "하늘 not heard after the hand-over" ;; esac
case "$(heard paused resumed)" in "low=0 high=0 other=0") ;; *) fail "sound while paused: $(heard paused resumed)" ;; esac
case "$(heard next end)" in low=[1-9]*) ;; *) fail "바다 not heard after next" ;; esac

# 5. The session ends.
kill -TERM $sorvel_pid
status=0
wait $sorvel_pid || status=$?
[ $status -eq 0 ] || fail "SIGTERM ended sorvel with $status"
[ -f "$XDG_CONFIG_HOME/sorvel/Sorvel.ini" ] || fail "no Sorvel.ini"
list=$(iconv -f CP949 -t UTF-8 < "$XDG_CONFIG_HOME/sorvel/Temprary.txt" | tr -d '\r')
[ "$list" = "$(printf '%s\n%s' "$songs/바다.mp3" "$songs/하늘.mp3")" ] || fail "Temprary.txt: $list"
grep -q '^Volume=28' "$XDG_CONFIG_HOME/sorvel/Sorvel.ini" || fail "the knob was not stored: $(cat "$XDG_CONFIG_HOME/sorvel/Sorvel.ini")"
echo "ok"
