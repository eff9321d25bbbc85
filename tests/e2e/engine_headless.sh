#!/usr/bin/env bash
# The engine with no window at all: the probe builds it as the program does, plays song A
# (1 kHz), seeks, pauses, resumes, and lets song B (2 kHz) follow; the null sink's
# recording must hold A, a pause of silence, A again and then B, with no silence between
# A's end and B's start.
set -euo pipefail
. "$(dirname "$0")/session.sh"
probe=$1
require pulseaudio parec pacat
session_begin
sound_server_start
keep_sink_awake
unset DISPLAY

record_start "$work/rec.raw"
"$probe" engine "$work" || fail "the engine did not do as its transport was asked"
sleep 0.3  # the last of the sound is still on its way through the server
record_stop

"$probe" tones "$work/rec.raw" > "$work/tones.txt"
# Each line: the quarter second's start and its loudest frequency (silent ones are left out).
awk '
  { kind = $2 < 1500 ? "A" : "B" }
  NR > 1 && $1 - last > 0.45 && kind == "A" && lastkind == "A" { pauses++ }
  NR > 1 && kind == "B" && lastkind == "A" && $1 - last > 0.3 { gap = 1 }
  kind == "B" && !firstB { firstB = $1 }
  kind == "A" { a++; if (firstB) late = 1 }
  kind == "B" { b++ }
  { last = $1; lastkind = kind }
  END {
    printf "A %.2f s, B %.2f s, %d pause(s), gap before B: %s\n", a / 4, b / 4, pauses, gap ? "yes" : "no"
    exit !(a >= 6 && a <= 10 && b >= 4 && b <= 7 && pauses == 1 && !gap && !late)
  }' "$work/tones.txt" || { cat "$work/tones.txt"; fail "what was heard is not what was asked"; }
