#!/usr/bin/env bash
# The strip through the accessibility bus (AT-SPI) on Xvfb, as a screen reader sees it:
# roles and names, press Start / Pause and Stop by their actions while reading the clock,
# set the volume by value; the volume the reader set is the one stored at exit.
# Usage: strip_accessibility.sh PROBE
set -euo pipefail
probe=$1
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
for tool in dbus-run-session /usr/libexec/at-spi-bus-launcher; do
  command -v $tool >/dev/null || { echo "$tool not installed"; exit 77; }
done
$python -c 'import pyatspi' 2>/dev/null || { echo "python3-pyatspi not installed"; exit 77; }

if [ -z "${SORVEL_IN_SESSION:-}" ]; then
  # A private session bus; the accessibility bus is started on demand through it.
  exec env SORVEL_IN_SESSION=1 dbus-run-session -- "$0" "$@"
fi

. "$here/x_session.sh"
work=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  x_session_stop
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work XDG_RUNTIME_DIR=$work/run SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
x_session_start 800x600x24

"$probe" "$work" 40 > "$work/probe.txt" 2>&1 &
app=$!
strip_window >/dev/null || { echo "no strip window"; exit 1; }
status=0
$python "$here/strip_accessibility.py" || status=1
touch "$work/quit"
wait "$app" || status=1
app=
volume=$(tr -d '\r' < "$work/Sorvel.ini" | sed -n 's/^Volume=//p')
echo "Sorvel.ini: Volume=$volume"
[ "$volume" = "40" ] || { echo "FAIL: the volume set by the reader was not kept"; status=1; }
exit $status
