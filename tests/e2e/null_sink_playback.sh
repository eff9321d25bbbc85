#!/usr/bin/env bash
# Plays a generated MP3 through a private PulseAudio server with a null sink, records
# the sink's monitor and checks that the tone reached it.
set -euo pipefail
. "$(dirname "$0")/session.sh"
probe=$1
require pulseaudio parec
session_begin
sound_server_start

record_start "$work/rec.raw"
SDL_AUDIODRIVER=pulseaudio "$probe" play "$work" 2
sleep 0.3  # the last of the sound is still on its way through the server
record_stop
"$probe" analyse "$work/rec.raw"
