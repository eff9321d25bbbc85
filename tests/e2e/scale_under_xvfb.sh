#!/usr/bin/env bash
# The shipped sorvel on a desktop at 100 %, 125 %, 150 % and 200 %, the scale set each way
# a desktop sets it: Xft.dpi (120, 144, 192), QT_SCREEN_SCALE_FACTORS (also two screens
# at different scales) and QT_SCALE_FACTOR. In each, on a virtual X display with openbox
# and a notification area (trayer):
#   - a fresh start shows both windows where they stand at 100 %, times the scale;
#   - the playlist window dragged up to the strip glues to it with no device pixel of gap
#     or overlap, and the strip dragged with the mouse takes it along, still touching;
#   - a click on each transport button does what it says (told by the media controls on
#     the session bus), the playlist button hides and shows the playlist window;
#   - the right button opens the popup menu, whose first item opens the about box at
#     the scale; the tray button hides both windows and a double click on the tray icon
#     brings them back;
#   - closing stores logical places (glued: the playlist window 49 below the strip), and
#     the next start puts both windows on the very device pixels they left.
# Usage: scale_under_xvfb.sh SORVEL PROBE WAY   (WAY: plain, xft, screen or factor)
set -euo pipefail
. "$(dirname "$0")/session.sh"
sorvel=$1
probe=$2
way=$3
require xrdb xrandr wmctrl trayer playerctl
with_session_bus "$@"
session_begin
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb
runs=0
config=
pid=
fail() {
  echo "FAIL [$config]: $*"
  [ -n "$pid" ] && ! process_gone "$pid" && show_threads "$pid"
  exit 1
}

songs=$work/songs
mkdir -p "$songs"
"$probe" make "$songs/a.wav" 60 440
"$probe" make "$songs/b.wav" 60 660

x_session_start 2560x1600x24
trayer --edge bottom --align right --widthtype pixel --width 160 --height 32 --SetDockType true \
  > /dev/null 2>&1 & track $!
wait_until 10 tray_up || fail "trayer did not take the notification area"

strip_name='^마루엘의 뮤직플레이어 Sorvel$'
list_name='^음악파일 리스트 - Sorvel$'
pc() { timeout 5 playerctl -p sorvel "$@" 2>/dev/null; }
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }
wait_for() {  # wait_for EXPECTED COMMAND...
  local want=$1 end=$((SECONDS + 30)); shift
  until [ "$("$@" 2>/dev/null)" = "$want" ]; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}
# "X Y W H" of a window on the X server, in device pixels.
# An empty id gives nothing: xwininfo without one waits for a click on a window.
rect() { [ -n "$1" ] || return 1; xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'; }
list_window() { xdotool search --name "$list_name" 2>/dev/null | head -1; }
# The playlist window's rectangle, looked for afresh each time: it may not be mapped yet.
list_rect() { rect "$(list_window)"; }
# A logical length in device pixels at the current scale, rounded as Qt rounds.
px() { awk -v v="$1" -v f="$factor" 'BEGIN{d = v * f; print (d >= 0) ? int(d + 0.5) : -int(-d + 0.5)}'; }
# Drags with the left button from (x, y) by (dx, dy) device pixels, in steps, resting at
# the end before letting go, as a hand does.
drag() {
  local x=$1 y=$2 dx=$3 dy=$4 step
  xdotool mousemove "$x" "$y" mousedown 1
  for step in 1 2 3 4 5 6 7 8; do
    xdotool mousemove $((x + dx * step / 8)) $((y + dy * step / 8)); sleep 0.03
  done
  sleep 0.3
  xdotool mouseup 1
}
# Clicks at the logical point (lx, ly) of the strip standing at device (sx, sy).
click_strip() { xdotool mousemove $(($2 + $(px "$4"))) $(($3 + $(px "$5"))) click "$1"; }
# The glued pair touches: the playlist window's top is the strip's bottom, their left
# edges are one, in device pixels (waiting for the window manager to carry out the moves).
expect_glued() {
  local sx sy sw sh lx ly lw lh
  for _ in $(seq 20); do
    read -r sx sy sw sh <<< "$(rect "$strip")"
    read -r lx ly lw lh <<< "$(list_rect)"
    [ "$ly" -eq $((sy + sh)) ] && [ "$lx" -eq "$sx" ] && return 0
    sleep 0.1
  done
  fail "$1: strip at $sx,$sy ${sw}x$sh, playlist window at $lx,$ly (gap $((ly - sy - sh)))"
}
# run_config NAME FACTOR ORIGIN [VAR=VALUE...]: the whole round at one scale. ORIGIN is
# the left edge of the screen the windows open on (the same in logical and device pixels).
run_config() {
  config=$1 factor=$2
  local origin=$3; shift 3
  runs=$((runs + 1))
  local app=$work/app$runs sx sy sw sh lx ly lw lh x y
  mkdir -p "$app"
  cp "$sorvel" "$app/sorvel"
  local home_x=200
  if [ "$origin" -ne 0 ]; then
    # On the second screen: the places are stored in its logical pixels.
    home_x=$((origin + 100))
    printf '[Control]\r\nViewPlayList=1\r\n[Data]\r\nMainX=%d\r\nMainY=100\r\nPlayListX=%d\r\nPlayListY=200\r\nPlayListW=400\r\nPlayListH=300\r\nVolume=30\r\n' \
      "$home_x" "$home_x" > "$app/Sorvel.ini"
  fi
  local device_x=$((origin + $(px $((home_x - origin)))))
  (cd "$songs" && exec env "$@" "$app/sorvel" a.wav b.wav > "$app/log" 2>&1) & pid=$!
  track $pid
  strip=$(strip_window) || fail "no strip: $(cat "$app/log")"
  wait_for Playing pc status || fail "not playing after start: $(pc status)"

  # Default places, times the scale.
  local want_list="$device_x $(px 200) $(px 400) $(px 600)"
  [ "$origin" -ne 0 ] && want_list="$device_x $(px 200) $(px 400) $(px 300)"
  wait_for "$device_x $(px 100) $(px 218) $(px 49)" rect "$strip" || fail "strip at $(rect "$strip")"
  wait_for "$want_list" list_rect || fail "playlist window at $(list_rect), not $want_list"
  echo "[$config] shown: strip $(rect "$strip"), playlist window $(list_rect)"

  # Glue: the playlist window, held by its title bar, up to 3 pixels under the strip.
  read -r lx ly lw lh <<< "$(list_rect)"
  drag $((lx + $(px 150))) $((ly + $(px 8))) 0 $((-$(px 48)))
  expect_glued "glued"
  # The pair, held by the strip's spectrum area.
  read -r sx sy sw sh <<< "$(rect "$strip")"
  drag $((sx + $(px 31))) $((sy + $(px 11))) "$(px 40)" "$(px 30)"
  expect_glued "dragged together"
  read -r x y _ <<< "$(rect "$strip")"
  [ $((x - sx - $(px 40))) -ge -2 ] && [ $((x - sx - $(px 40))) -le 2 ] && [ $((y - sy - $(px 30))) -ge -2 ] \
    && [ $((y - sy - $(px 30))) -le 2 ] || fail "the strip went from $sx,$sy to $x,$y"
  echo "[$config] glued and dragged: strip $(rect "$strip"), playlist window $(list_rect)"

  # Transport buttons, where the user sees them.
  read -r sx sy _ <<< "$(rect "$strip")"
  click_strip 1 "$sx" "$sy" 91 19    # BStop
  wait_for Stopped pc status || fail "stop: $(pc status)"
  click_strip 1 "$sx" "$sy" 73 19    # BPlay
  wait_for Playing pc status || fail "play: $(pc status)"
  click_strip 1 "$sx" "$sy" 73 19
  wait_for Paused pc status || fail "pause: $(pc status)"
  click_strip 1 "$sx" "$sy" 110 19   # dxButton1, the next song
  wait_for b.wav pc metadata xesam:title || wait_for b pc metadata xesam:title \
    || fail "next: $(pc metadata xesam:title)"
  click_strip 1 "$sx" "$sy" 208 25   # BPlayList
  wait_for 0 visible "$list_name" || fail "the playlist button did not hide the playlist window"
  click_strip 1 "$sx" "$sy" 208 25
  wait_for 1 visible "$list_name" || fail "the playlist button did not show the playlist window"

  # The popup menu and the about box.
  click_strip 3 "$sx" "$sy" 31 11
  wait_until 5 popup_menu_shown || fail "no popup menu"
  read -r x y _ <<< "$(rect "$(popup_menu)")"
  xdotool mousemove $((x + $(px 20))) $((y + $(px 10))) click 1
  wait_for 1 visible '^프로그램 정보$' || fail "no about box"
  read -r _ _ x y <<< "$(rect "$(xdotool search --onlyvisible --name '^프로그램 정보$' | head -1)")"
  [ "$x $y" = "$(px 452) $(px 152)" ] || fail "about box ${x}x$y"
  wmctrl -c "프로그램 정보"
  wait_for 0 visible '^프로그램 정보$' || fail "the about box stayed"

  # The tray button and the tray icon.
  click_strip 1 "$sx" "$sy" 208 8    # BToTray
  wait_for 0 visible "$strip_name" || fail "the tray button did not hide the strip"
  [ "$(visible "$list_name")" -eq 0 ] || fail "the tray button left the playlist window"
  wait_until 5 tray_icon_shown || fail "no tray icon"
  local icon
  icon=$(tray_icon_centre)
  xdotool mousemove ${icon% *} ${icon#* } click --repeat 2 --delay 80 1
  wait_for 1 visible "$strip_name" || fail "the tray icon did not bring the strip back"
  wait_for 1 visible "$list_name" || fail "the tray icon did not bring the playlist window back"
  expect_glued "back from the tray"

  # Closing, then a fresh start: the same device pixels.
  local before_strip before_list
  before_strip=$(rect "$strip")
  before_list=$(list_rect)
  wmctrl -i -c "$strip"
  wait_exit $pid 60 || fail "closing ended with $?: $(cat "$app/log")"
  local ini
  ini=$(tr -d '\r' < "$app/Sorvel.ini" | grep -E '^(Main|PlayList)' | tr '\n' ' ')
  echo "[$config] stored: $ini"
  local mx my px_ py_
  mx=$(tr -d '\r' < "$app/Sorvel.ini" | sed -n 's/^MainX=//p')
  my=$(tr -d '\r' < "$app/Sorvel.ini" | sed -n 's/^MainY=//p')
  px_=$(tr -d '\r' < "$app/Sorvel.ini" | sed -n 's/^PlayListX=//p')
  py_=$(tr -d '\r' < "$app/Sorvel.ini" | sed -n 's/^PlayListY=//p')
  [ "$px_" = "$mx" ] && [ "$py_" = "$((my + 49))" ] || fail "stored places are not the glued logical ones: $ini"
  case "$ini" in *"PlayListW=400 PlayListH=$(( origin ? 300 : 600 ))"*) ;;
    *) fail "stored size: $ini" ;; esac
  (cd "$songs" && exec env "$@" "$app/sorvel" > "$app/log2" 2>&1) & pid=$!
  track $pid
  strip=$(strip_window) || fail "no strip after a restart: $(cat "$app/log2")"
  wait_for "$before_strip" rect "$strip" || fail "restarted strip at $(rect "$strip"), left at $before_strip"
  wait_for "$before_list" list_rect \
    || fail "restarted playlist window at $(list_rect), left at $before_list"
  expect_glued "restarted"
  wmctrl -i -c "$strip"
  wait_exit $pid 60 || fail "closing the second start ended with $?: $(cat "$app/log2")"
}

xft() {  # xft DPI: the X resource a desktop sets for its scale
  if [ -n "$1" ]; then echo "Xft.dpi: $1" | xrdb -merge; else xrdb -remove; fi
}

case "$way" in
  plain)
    run_config plain 1 0 ;;
  xft)
    for dpi in 120 144 192; do
      xft "$dpi"
      run_config "Xft.dpi=$dpi" "$(awk -v d=$dpi 'BEGIN{print d / 96}')" 0
    done
    xft "" ;;
  screen)
    for f in ${SCALES:-1.25 1.5 2}; do run_config "QT_SCREEN_SCALE_FACTORS=$f" "$f" 0 "QT_SCREEN_SCALE_FACTORS=$f"; done
    # Two screens side by side, the right one at 200 %: the windows open on it.
    xrandr --setmonitor L 1280/338x1600/423+0+0 screen > /dev/null
    xrandr --setmonitor R 1280/338x1600/423+1280+0 none > /dev/null
    run_config "two screens, 1 and 2" 2 1280 "QT_SCREEN_SCALE_FACTORS=L=1;R=2"
    xrandr --delmonitor R > /dev/null; xrandr --delmonitor L > /dev/null ;;
  factor)
    for f in ${SCALES:-1.25 1.5 2}; do run_config "QT_SCALE_FACTOR=$f" "$f" 0 "QT_SCALE_FACTOR=$f"; done ;;
  *)
    echo "unknown way $way"; exit 2 ;;
esac

echo "ok"
