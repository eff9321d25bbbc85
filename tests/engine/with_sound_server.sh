#!/usr/bin/env bash
# Runs an engine test program beside a private PulseAudio server whose default sink,
# sorvel_null, plays into nothing (tests/e2e/session.sh); the server ends with the run.
# The program may stop the server (`pulseaudio --kill`) and start it again with the
# command in $SORVEL_SOUND_SERVER_START.
# Usage: with_sound_server.sh PROGRAM [ARGS...]
set -euo pipefail
. "$(dirname "$0")/../e2e/session.sh"
if [ "${1:-}" = "--start-server" ]; then
  work=$SORVEL_SOUND_WORK
  sound_server_start
  exit 0
fi
require pulseaudio pactl
session_begin
sound_server_start
export SORVEL_SOUND_WORK=$work
export SORVEL_SOUND_SERVER_START="$(cd "$(dirname "$0")" && pwd)/$(basename "$0") --start-server"
"$@"
