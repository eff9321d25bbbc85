#!/usr/bin/env bash
# Silence between songs in the shipped program: three pieces of one signal played from
# the command line, recorded at a private PulseAudio null sink; prints the silence and the
# frames skipped or repeated at each join (the end-to-end test's measurement).
#   bench_joins [BUILD]      (the bench runner starts it from the build's bench folder)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$(cd "$here/../.." && pwd)}
QT_QPA_PLATFORM=xcb "@PROJECT_SOURCE_DIR@/tests/e2e/gapless_joins.sh" "$build" "$build/tests/e2e/sorvel_join_probe" \
  | grep -E '^(join|heard|ok|FAIL)'
