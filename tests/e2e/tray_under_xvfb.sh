#!/usr/bin/env bash
# The shipped sorvel with a real notification area (trayer) on a virtual X display:
#   - its icon appears in the tray;
#   - the tray button hides the player and the playlist window; a double click on the
#     icon brings both back;
#   - hidden again, a second start (exit code 1) brings them back;
#   - the icon's right button opens the popup menu, whose "프로그램 정보" shows the about box;
#   - without any notification area the tray button minimises the strip instead, and
#     stderr says so once.
# Usage: tray_under_xvfb.sh SORVEL. SHOT=folder keeps screenshots of the tray and the about box.
set -euo pipefail
. "$(dirname "$0")/session.sh"
sorvel=$1
require trayer
session_begin
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb
x_session_start 1024x768x24

app=$work/app
mkdir -p "$app"
cp "$sorvel" "$app/sorvel"
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }
strip='^마루엘의 뮤직플레이어 Sorvel$'
list='^음악파일 리스트 - Sorvel$'
both_shown() { [ "$(visible "$strip")" -eq 1 ] && [ "$(visible "$list")" -eq 1 ]; }
both_hidden() { [ "$(visible "$strip")" -eq 0 ] && [ "$(visible "$list")" -eq 0 ]; }
# The window manager has taken the window on (it sets WM_STATE once it manages it).
managed() { case "$(xprop -id "$1" WM_STATE 2>/dev/null)" in *Normal*) return 0 ;; esac; return 1; }
minimised() {
  case "$(xprop -id "$(xdotool search --name "$strip" | head -1)" _NET_WM_STATE WM_STATE 2>/dev/null)" in
    *[Ii]conic*|*HIDDEN*) return 0 ;;
  esac
  return 1
}
# --- without a notification area ---
"$app/sorvel" > "$work/notray.log" 2>&1 & first=$!
track $first
window=$(strip_window) || fail "no strip"
wait_until 10 managed "$window" || fail "the window manager did not take the strip"
read -r x y <<< "$(server_position "$window")"
xdotool mousemove $((x + 207)) $((y + 7)) click 1   # BToTray
wait_until 10 minimised || true
state=$(xprop -id "$(xdotool search --name "$strip" | head -1)" _NET_WM_STATE WM_STATE 2>/dev/null | tr '\n' ' ')
echo "without a tray: $state"
grep -q 'no notification area' "$work/notray.log" || fail "nothing said on stderr: $(cat "$work/notray.log")"
[ "$(grep -c 'no notification area' "$work/notray.log")" -eq 1 ] || fail "said more than once"
echo "$state" | grep -q -i 'iconic\|HIDDEN' || fail "the strip was not minimised"
[ "$(visible "$list")" -eq 0 ] || fail "the playlist window stayed"
status=0; timeout 10 "$app/sorvel" > /dev/null 2>&1 || status=$?
[ $status -eq 1 ] || fail "a second start ended with $status"
wait_until 10 both_shown || true
[ "$(visible "$strip")" -eq 1 ] || fail "a second start did not bring the minimised strip back"
[ "$(visible "$list")" -eq 1 ] || fail "the playlist window did not come back"
wmctrl -c "마루엘의 뮤직플레이어 Sorvel"
wait $first || fail "closing failed"

# --- with one ---
trayer --edge bottom --align right --widthtype pixel --width 120 --height 24 --SetDockType true \
  > /dev/null 2>&1 & track $!
wait_until 10 tray_up || fail "trayer did not take the notification area"
"$app/sorvel" > "$work/tray.log" 2>&1 & second=$!
track $second
window=$(strip_window) || fail "no strip"
wait_until 10 managed "$window" || fail "the window manager did not take the strip"
wait_until 10 tray_icon_shown || true
icon=$(tray_icon_centre)
[ -n "$icon" ] || fail "no icon in the tray"
echo "icon in the tray at $icon"
[ -n "${SHOT:-}" ] && import -window root "$SHOT/tray.png"

read -r x y <<< "$(server_position "$window")"
xdotool mousemove $((x + 207)) $((y + 7)) click 1
wait_until 10 both_hidden || true
[ "$(visible "$strip")" -eq 0 ] && [ "$(visible "$list")" -eq 0 ] || fail "the tray button hid nothing"
xdotool mousemove ${icon% *} ${icon#* } click --repeat 2 --delay 80 1
wait_until 10 both_shown || true
[ "$(visible "$strip")" -eq 1 ] && [ "$(visible "$list")" -eq 1 ] || fail "a double click did not bring both back"

xdotool mousemove $((x + 207)) $((y + 7)) click 1
wait_until 10 both_hidden || true
[ "$(visible "$strip")" -eq 0 ] || fail "not hidden the second time"
status=0; timeout 10 "$app/sorvel" > /dev/null 2>&1 || status=$?
[ $status -eq 1 ] || fail "a second start ended with $status"
wait_until 10 both_shown || true
[ "$(visible "$strip")" -eq 1 ] && [ "$(visible "$list")" -eq 1 ] || fail "a second start did not restore the hidden player"

xdotool mousemove ${icon% *} ${icon#* } click 3
wait_until 10 popup_menu_shown || true
menu=$(popup_menu)
[ -n "$menu" ] || fail "no popup menu"
# The first item, "프로그램 정보", opens the about box.
read -r mx my <<< "$(server_position "$menu")"
xdotool mousemove $((mx + 20)) $((my + 10)) click 1
about_box() { xdotool search --onlyvisible --name '^프로그램 정보$' 2>/dev/null | head -1; }
wait_until 10 test -n "$(about_box)" || true
about=$(about_box)
[ -n "$about" ] || fail "no about box"
size=$(xwininfo -id "$about" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
echo "about box $size"
[ "$size" = "452x152" ] || fail "about box $size"
[ -n "${SHOT:-}" ] && import -window root "$SHOT/about.png"
wmctrl -c "프로그램 정보"
wait_until 10 test -z "$(about_box)" || fail "the about box did not close"
wmctrl -c "마루엘의 뮤직플레이어 Sorvel"
wait $second || fail "closing failed"
echo "ok"
