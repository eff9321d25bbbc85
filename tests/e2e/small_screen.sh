#!/usr/bin/env bash
# Both windows on a small screen at a high scale: on a 1280 x 1024 display at 150 % and
# 200 % (QT_SCALE_FACTOR) a fresh start must not put the always-on-top strip over the
# playlist window, whose default place does not fit there; the places stored at the end
# keep them apart at 100 % too.
# Usage: small_screen.sh SORVEL
set -euo pipefail
. "$(dirname "$0")/session.sh"
sorvel=$1
require wmctrl
session_begin
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb
x_session_start 1280x1024x24
list_name='^음악파일 리스트 - Sorvel$'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# "X Y W H" of a window on the X server, in device pixels.
rect() { [ -n "$1" ] || return 1; xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} /Width:/{w=$2} /Height:/{h=$2} END{print x, y, w, h}'; }
list_window() { xdotool search --onlyvisible --name "$list_name" 2>/dev/null | head -1; }
apart() {  # apart STRIP LIST: the rectangles share no pixel
  local sx sy sw sh lx ly lw lh
  read -r sx sy sw sh <<< "$(rect "$1")"
  read -r lx ly lw lh <<< "$(rect "$2")"
  [ $((sx + sw)) -le "$lx" ] || [ $((lx + lw)) -le "$sx" ] || [ $((sy + sh)) -le "$ly" ] || [ $((ly + lh)) -le "$sy" ]
}

# start FOLDER FACTOR: the program from FOLDER at the scale, until both windows show.
start() {
  (QT_SCALE_FACTOR=$2 exec "$1/sorvel" > "$1/log" 2>&1) &
  app=$!
  track $app
  strip=$(strip_window) || { fail "no strip at $2: $(cat "$1/log")"; return 1; }
  for _ in $(seq 100); do list=$(list_window); [ -n "$list" ] && break; sleep 0.05; done
  [ -n "$list" ] || { fail "no playlist window at $2"; return 1; }
  sleep 0.5  # the window manager has carried out the places
}
stop() { kill -TERM "$app"; wait "$app" 2>/dev/null || true; }

for factor in 1.5 2; do
  folder=$work/at$factor
  mkdir -p "$folder"
  cp "$sorvel" "$folder/sorvel"
  start "$folder" "$factor" || continue
  echo "at $factor: strip $(rect "$strip"), playlist window $(rect "$list")"
  apart "$strip" "$list" || fail "at $factor the strip covers the playlist window"
  stop
  start "$folder" 1 || continue
  echo "then at 1: strip $(rect "$strip"), playlist window $(rect "$list")"
  apart "$strip" "$list" || fail "the places stored at $factor overlap at 100 %"
  stop
done
[ "$failures" -eq 0 ]
