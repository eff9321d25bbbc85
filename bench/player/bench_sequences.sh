#!/usr/bin/env bash
# How much of a sequence of songs reaches the sink, over repeated runs of the end-to-end
# test (tests/e2e/sequence_heard.sh): per format mix, the ms of signal heard against the
# signal's length in every run, and how many runs were whole.
#   bench_sequences [BUILD] [RUNS] [BUSY]
# RUNS defaults to 10. BUSY busy loops (started and ended here) load the machine meanwhile;
# 0 by default.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$(cd "$here/../.." && pwd)}
runs=${2:-10}
busy=${3:-0}
loops=()
stop_loops() { [ ${#loops[@]} -gt 0 ] && kill "${loops[@]}" 2>/dev/null; wait "${loops[@]}" 2>/dev/null; loops=(); }
trap stop_loops EXIT
for _ in $(seq "$busy"); do
  (while :; do :; done) &
  loops+=($!)
done

log=$(mktemp)
passed=0
for run in $(seq "$runs"); do
  if QT_QPA_PLATFORM=xcb "@PROJECT_SOURCE_DIR@/tests/e2e/sequence_heard.sh" "$build" \
      "$build/tests/e2e/sorvel_sequence_probe" > "$log.$run" 2>&1; then
    passed=$((passed + 1))
  fi
  grep -E '^[a-z0-9]+: heard' "$log.$run" | sed "s/^/run $run /" >> "$log"
  echo "run $run: $(grep -cE ': ok$' "$log.$run") of $(grep -cE '^[a-z0-9]+: heard' "$log.$run") sequences whole" \
       "($(uptime | sed 's/.*load average: //'))"
  rm -f "$log.$run"
done
stop_loops
echo "load: $busy busy loops besides what else runs"
# Per sequence: the heard ms of each run, and the runs within the limit.
awk '{ name = $3; sub(":", "", name); ms[name] = ms[name] " " $5; of[name] = $8;
       ok[name] += ($NF == "ok"); n[name]++ }
     END { for (s in ms) printf "%-9s of %s ms: whole in %d of %d runs; heard:%s\n", s, of[s], ok[s], n[s], ms[s] }' "$log" \
  | sort
echo "runs passed: $passed of $runs"
rm -f "$log"
[ "$passed" = "$runs" ]
