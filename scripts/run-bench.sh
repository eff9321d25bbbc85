#!/usr/bin/env bash
# Runs every benchmark program (bench_*) of a build folder and prints its figures.
set -euo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
status=0
for exe in $(find "$build/bench" -type f -executable -name 'bench_*' | sort); do
  echo "== $(basename "$exe")"
  "$exe" || status=1
done
exit $status
