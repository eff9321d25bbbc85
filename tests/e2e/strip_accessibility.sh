#!/usr/bin/env bash
# The strip through the accessibility bus (AT-SPI) on Xvfb, as a screen reader sees it:
# roles and names, press Start / Pause and Stop by their actions while reading the clock,
# set the volume by value; the volume the reader set is the one stored at exit.
# Usage: strip_accessibility.sh PROBE
set -euo pipefail
. "$(dirname "$0")/session.sh"
probe=$1
[ -x /usr/libexec/at-spi-bus-launcher ] && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null \
  || { echo "accessibility bus not installed"; exit 77; }
# A private session bus; the accessibility bus is started on demand through it.
with_session_bus "$@"

session_begin
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
x_session_start 800x600x24

"$probe" "$work" 40 > "$work/probe.txt" 2>&1 &
app=$!
track $app
strip_window >/dev/null || fail "no strip window"
status=0
/usr/bin/python3 "$e2e_dir/strip_accessibility.py" || status=1
touch "$work/quit"
wait "$app" || status=1
volume=$(tr -d '\r' < "$work/Sorvel.ini" | sed -n 's/^Volume=//p')
echo "Sorvel.ini: Volume=$volume"
# 40 % of the knob's 55 pixels.
[ "$volume" = "22" ] || { echo "FAIL: the volume set by the reader was not kept"; status=1; }
exit $status
