#!/usr/bin/env bash
# What the shipped player reports is what is heard. On a virtual X display with a private
# session bus (media controls, accessibility) and a private PulseAudio server whose null
# sink takes the songs unchanged, Sorvel plays two songs whose every sample says where it
# is; the sink's monitor is read back as positions, and every 250 ms the media controls'
# position, the strip's clock and its seek knob are compared with it: after the very first
# start, a seek, a pause, a resume, a song change and a start after a stop. Then the
# sound server goes away and comes back, and the sink is suspended and its stream moved:
# the song waits where it was heard, is reported paused meanwhile, and goes on from there.
# Usage: transport_heard.sh BUILD_DIR HEARD_PROBE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${SORVEL_E2E_INNER:-}" ]; then
  for tool in Xvfb openbox xprop xdotool pulseaudio pactl dbus-run-session; do
    command -v $tool >/dev/null || { echo "$tool not installed"; exit 77; }
  done
  [ -x /usr/libexec/at-spi-bus-launcher ] && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null \
    || { echo "accessibility bus not installed"; exit 77; }
  export SORVEL_E2E_INNER=1
  exec dbus-run-session -- "$0" "$@"
fi

build=$1
probe=$2
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/run HOME=$work/home XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_RUNTIME_DIR" "$HOME" "$XDG_CONFIG_HOME/sorvel" && chmod 700 "$XDG_RUNTIME_DIR"
pids=()
cleanup() {
  [ -n "${KEEP:-}" ] && cp -r "$work/." "$KEEP/" 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  x_session_stop
  pulseaudio --kill >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -f "$work/sorvel.log" ] && cat "$work/sorvel.log"; exit 1; }

# Installed, the program keeps its settings in $XDG_CONFIG_HOME/sorvel.
cmake --install "$build" --prefix "$work/prefix" >/dev/null
sorvel=$work/prefix/bin/sorvel
"$probe" make "$work/ramp0.wav" 0 30
"$probe" make "$work/ramp1.wav" 1 20
# The volume knob at its right end: the songs reach the sink unchanged.
printf '[Data]\r\nVolume=55\r\n' > "$XDG_CONFIG_HOME/sorvel/Sorvel.ini"

. "$here/x_session.sh"
x_session_start 1024x768x24
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 & pids+=($!)
start_server() {
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=sorvel_null rate=44100 format=s16le channels=2" \
    --load="module-native-protocol-unix" --log-target=file:"$work/pa.log" 2>/dev/null
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink sorvel_null
  pactl set-sink-volume sorvel_null 100%
}
start_server

# Silence from another program keeps the null sink at a short, steady latency: a null
# sink at rest renders far ahead of its clock, and its monitor then shows a starting
# song up to 0.7 s before the sink plays it.
pacat --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 /dev/zero 2>/dev/null & pids+=($!)
"$probe" record sorvel_null.monitor 40 > "$work/record.log" & pids+=($!)
sleep 0.3
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$sorvel" "$work/ramp0.wav" "$work/ramp1.wav" > "$work/sorvel.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [ "$(playerctl -p sorvel status 2>/dev/null)" = Playing ] && break
  sleep 0.05
done
/usr/bin/python3 "$here/heard_position.py" "$work/record.log" 30000 20000 || fail "what is reported is not what is heard"

pc() { playerctl -p sorvel "$@" 2>/dev/null; }
wait_for() {  # wait_for EXPECTED TENTHS COMMAND...
  local want=$1 tenths=$2; shift 2
  for _ in $(seq "$tenths"); do [ "$("$@" 2>/dev/null)" = "$want" ] && return 0; sleep 0.1; done
  return 1
}
# The first heard position of song 1 in a record, in ms.
first_heard() { awk '$2 == 1 { print int($3); exit }' "$1"; }

# The sound server goes away while a song plays, and comes back.
wait_for Playing 30 pc status || fail "not playing before the restart: $(pc status)"
pulseaudio --kill
wait_for Paused 20 pc status || fail "reported $(pc status) with no sound server"
held=$(pc position)
sleep 1
[ "$(pc position)" = "$held" ] || fail "the position ran on without a server: $held, then $(pc position)"
start_server
pacat --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 /dev/zero 2>/dev/null & pids+=($!)
"$probe" record sorvel_null.monitor 3 > "$work/back.log" & pids+=($!)
wait_for Playing 15 pc status || fail "not playing again a second after the server came back: $(pc status)"
sleep 2
back=$(first_heard "$work/back.log")
heldms=$(awk -v p="$held" 'BEGIN { print int(p * 1000) }')
[ -n "$back" ] && [ $((back - heldms)) -ge -50 ] && [ $((back - heldms)) -le 400 ] \
  || fail "went on from ${back:-nothing} ms, held at $heldms ms"
[ "$(grep -c 'sound server does not answer' "$work/sorvel.log")" = 1 ] || fail "the loss was not said once"

# A suspended sink, and the stream moved to another sink: the song goes on.
pactl suspend-sink sorvel_null 1
sleep 0.5
pactl suspend-sink sorvel_null 0
pactl load-module module-null-sink sink_name=other rate=44100 format=s16le channels=2 >/dev/null
ours=$(pactl list sink-inputs | awk '/^Sink Input #/ { id = substr($3, 2) } /application.name = "Sorvel"/ { print id }')
[ -n "$ours" ] || fail "no stream of ours on the server"
pactl move-sink-input "$ours" other
"$probe" record other.monitor 1.5 > "$work/moved.log" & pids+=($!)
sleep 1.8
[ "$(pc status)" = Playing ] || fail "reported $(pc status) after the sink was suspended and the stream moved"
[ -n "$(first_heard "$work/moved.log")" ] || fail "nothing heard after the stream moved to another sink"

# The playlist window's master volume follows the sink's volume set elsewhere, at once.
master() { /usr/bin/python3 "$here/atspi_probe.py" value slider "마스터 볼륨"; }
pactl set-default-sink other
near() { local v; v=$(master | cut -d. -f1); [ -n "$v" ] && [ $((v - $1)) -ge -3 ] && [ $((v - $1)) -le 3 ]; }
for level in 40 100; do
  pactl set-sink-volume other "$level%"
  for _ in $(seq 20); do near "$level" && break; sleep 0.1; done
  near "$level" || fail "the master volume shows $(master) after the sink went to $level %"
done
echo "ok"
