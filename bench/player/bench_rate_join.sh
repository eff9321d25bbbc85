#!/usr/bin/env bash
# A join between songs at two rates in the shipped program: a 44.1 kHz song followed by a
# 48 kHz one (and the other way), both a 440 Hz tone of whole periods that starts and ends
# on a zero crossing, so the uncut tone has no silence and no jump where they meet.
# Recorded at a private PulseAudio null sink; prints, per join, the silence heard between
# the songs and the largest step between two samples there against the tone's own.
#   bench_rate_join [BUILD]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$(cd "$here/../.." && pwd)}
. "@PROJECT_SOURCE_DIR@/tests/e2e/session.sh"
require Xvfb openbox pulseaudio pactl parec cmake sox
session_begin
install_player "$build"
x_session_start 1024x768x24
sound_server_start
keep_sink_awake

tone() { sox -n -r "$1" -b 16 -c 2 "$2" synth 1.0 sine 440 vol 0.5; }
measure() {  # measure FIRST_RATE SECOND_RATE
  tone "$1" "$work/a.wav"
  tone "$2" "$work/b.wav"
  rm -f "$XDG_CONFIG_HOME/sorvel/Temprary.txt"  # the two songs alone on the list
  record_start "$work/rec.raw"
  "$sorvel" "$work/a.wav" "$work/b.wav" > "$work/sorvel.log" 2>&1 &
  local player=$!
  track $player
  sleep 4.5
  record_stop
  kill "$player"
  wait "$player" 2>/dev/null
  /usr/bin/python3 - "$work/rec.raw" "$1" "$2" ${BENCH_VERBOSE:+-v} <<'PY'
import array, sys
data = array.array("h", open(sys.argv[1], "rb").read())
left = data[0::2]
loud = [i for i, v in enumerate(left) if abs(v) > 200]
if not loud:
    print("join %s -> %s Hz: nothing heard" % (sys.argv[2], sys.argv[3])); sys.exit(0)
first, last = loud[0], loud[-1]
# The join lies a second of sound (at the output's 44.1 kHz) after the first sound.
join = first + 44100
lo, hi = join - 4410, join + 4410
# Silence: the longest run of near-zero samples around the join (a tone crosses zero
# for a sample or two only).
run = best = 0
for v in left[lo:hi]:
    run = run + 1 if abs(v) <= 200 else 0
    best = max(best, run)
steps = [abs(left[i + 1] - left[i]) for i in range(first + 100, last - 100)]
tone_step = sorted(steps)[int(len(steps) * 0.999)]
join_step = max(abs(left[i + 1] - left[i]) for i in range(lo, hi))
# Anywhere in the two seconds the songs last (the list then starts again).
run = whole = where = 0
for i in range(first, min(last, first + 2 * 44100)):
    run = run + 1 if abs(left[i]) <= 200 else 0
    if run > whole:
        whole, where = run, i - run + 1
if "-v" in sys.argv[4:]:
    # Each stretch of sound and of silence of the recording, in ms.
    parts, start, quiet = [], first, False
    for i in range(first, last):
        q = all(abs(left[j]) <= 200 for j in range(i, min(i + 20, last)))
        if q != quiet:
            parts.append(("silence" if quiet else "sound", round((i - start) * 1000 / 44100)))
            start, quiet = i, q
    parts.append(("silence" if quiet else "sound", round((last - start) * 1000 / 44100)))
    print("  ", parts)
    print("   around the longest silence:", list(left[where - 6:where + whole + 6]))
print("join %s -> %s Hz: silence %.2f ms, largest step %d (the tone's own %d), longest anywhere %.2f ms at %.3f s"
      % (sys.argv[2], sys.argv[3], best * 1000.0 / 44100, join_step, tone_step, whole * 1000.0 / 44100,
         (where - first) / 44100.0))
PY
}
set -- "${@:2}"
[ $# -gt 0 ] || set -- "44100 48000" "48000 44100" "44100 44100"
for rates; do measure $rates; done
