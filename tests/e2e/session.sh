# Sourced by the end-to-end scripts, after `set -euo pipefail`: what each of them needs
# around the program it drives, and nothing left running once it ends.
#
#   require TOOL...        skip the test (exit code 77) unless every TOOL is installed
#   with_session_bus ARGS  run the script again inside a private session bus
#   session_begin          a private work folder ($work) as HOME and XDG_RUNTIME_DIR; at
#                          exit everything started below ends and the folder goes
#   track PID...           a process to end with the session
#   fail MESSAGE           say why and end with exit code 1
#   wait_exit PID SECONDS  wait for a program asked to end; one that hangs shows its threads
#   wait_until SECONDS COMMAND...   run COMMAND until it succeeds; false when time runs out
#   sound_server_start     a private PulseAudio server whose default sink, sorvel_null,
#                          plays into nothing at full volume
#   keep_sink_awake [MS]   silence from another client, asking MS ms of latency (10 by
#                          default), keeps sorvel_null at a short, steady latency: a sink
#                          at rest renders seconds ahead, and its monitor shows a song that
#                          starts then late or not at all
#   record_start FILE / record_stop   record what reaches sorvel_null (s16le, 44.1 kHz, stereo)
#   accessibility_bus_start   the accessibility bus on the session bus (needs with_session_bus)
#   install_player BUILD   installs the build below $work/prefix ($sorvel is the program),
#                          with its settings in $XDG_CONFIG_HOME/sorvel and the volume knob
#                          at its right end, so songs reach the sink unchanged
# The private X display (x_session_start and the window helpers) comes from x_session.sh.

e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$e2e_dir/x_session.sh"

require() {
  local tool
  for tool; do
    command -v "$tool" >/dev/null || { echo "$tool not installed"; exit 77; }
  done
}

with_session_bus() {
  [ -n "${SORVEL_E2E_BUS:-}" ] && return 0
  require dbus-run-session
  SORVEL_E2E_BUS=1 exec dbus-run-session -- "$0" "$@"
}

fail() {
  echo "FAIL: $*"
  exit 1
}

wait_until() {
  local seconds=$1
  shift
  local end=$((SECONDS + seconds))
  until "$@" 2>/dev/null; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.05
  done
}

session_begin() {
  work=$(mktemp -d)
  export HOME=$work XDG_RUNTIME_DIR=$work/run
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
  session_pids=()
  trap session_end EXIT
}

track() {
  session_pids+=("$@")
}

# Ends the tracked processes, asking first and insisting after a while, and waits for them:
# the test is not over while one of them still runs.
end_processes() {
  local p
  for p; do kill "$p" 2>/dev/null || true; done
  for p; do
    wait_until 3 process_gone "$p" || kill -9 "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
}

process_gone() {
  ! kill -0 "$1" 2>/dev/null || [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" = Z ]
}

# Where each thread of a running program stands (when gdb is there): what a test prints
# about a program that stopped answering.
show_threads() {
  command -v gdb > /dev/null || return 0
  echo "threads of $1:"
  timeout 60 gdb -p "$1" -batch -ex 'thread apply all bt' 2>&1 | grep -E '^(Thread|#)' | head -300 || true
}

# wait_exit PID SECONDS: waits for a program the test asked to end; one still running
# after SECONDS shows its threads, is ended, and the wait fails.
wait_exit() {
  if ! wait_until "$2" process_gone "$1"; then
    echo "$1 still runs ${2} s after it was asked to end"
    show_threads "$1"
    kill -9 "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
    return 124
  fi
  wait "$1"
}

session_end() {
  local status=$?
  [ ${#session_pids[@]} -gt 0 ] && end_processes "${session_pids[@]}"
  x_session_stop
  sound_server_stop
  rm -rf "$work"
  exit $status
}

sound_server_start() {
  require pulseaudio pactl parec
  # The player is to be heard through this server, not through the SDL driver the test
  # runner picks for the tests that need no sound ("dummy").
  unset SDL_AUDIODRIVER
  export PULSE_RUNTIME_PATH=$XDG_RUNTIME_DIR/pulse
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=sorvel_null" --load="module-native-protocol-unix" \
    --log-target=file:"$work/pa.log" 2>/dev/null || fail "pulseaudio did not start: $(cat "$work/pa.log")"
  sound_server=1
  wait_until 10 pactl info >/dev/null || fail "pulseaudio does not answer: $(cat "$work/pa.log")"
  pactl set-default-sink sorvel_null
  pactl set-sink-volume sorvel_null 100%
}

# Silence from another program keeps the null sink at a short, steady latency: a null
# sink at rest renders up to 2 s ahead of its clock, and its monitor then shows a starting
# song that much before the sink plays it (and no pause at all). Once woken it takes that
# long to settle.
keep_sink_awake() {
  pacat --raw --format=s16le --rate=44100 --channels=2 --latency-msec="${1:-10}" /dev/zero 2>/dev/null &
  track $!
  wait_until 5 sink_settled || fail "the null sink did not settle: $(pactl list sinks | grep Latency)"
}

sink_settled() {
  pactl list sinks | awk '/^\tLatency:/ { exit !($2 < 30000) }'
}

sound_server_stop() {
  [ -n "${sound_server:-}" ] || return 0
  sound_server=
  pulseaudio --kill 2>/dev/null || true
  wait_until 5 sound_server_gone || true
}

sound_server_gone() {
  ! pulseaudio --check 2>/dev/null
}

install_player() {
  export XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
  mkdir -p "$XDG_CONFIG_HOME/sorvel"
  cmake --install "$1" --prefix "$work/prefix" >/dev/null
  sorvel=$work/prefix/bin/sorvel
  printf '[Data]\r\nVolume=55\r\n' > "$XDG_CONFIG_HOME/sorvel/Sorvel.ini"
}

record_start() {
  parec -d sorvel_null.monitor --format=s16le --rate=44100 --channels=2 --raw > "$1" &
  recorder=$!
  track $recorder
  wait_until 5 recorder_connected || fail "the recorder did not connect to the sound server"
}

recorder_connected() {
  [ -n "$(pactl list short source-outputs)" ]
}

record_stop() {
  kill "$recorder" 2>/dev/null || true
  wait "$recorder" 2>/dev/null || true
}

accessibility_bus_start() {
  [ -x /usr/libexec/at-spi-bus-launcher ] && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null \
    || { echo "accessibility bus not installed"; exit 77; }
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  track $!
}
