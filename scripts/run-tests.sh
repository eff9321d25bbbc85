#!/usr/bin/env bash
# Runs the test suite of one build folder. Extra arguments go to ctest.
# The run fails when a test leaves a process behind (a bus, a sound server, a display):
# see no-leftovers.py.
set -euo pipefail
build=${1:-build}; shift || true
export QT_QPA_PLATFORM=offscreen
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# Full stacks for allocations: Qt is built without frame pointers, and a leak whose stack
# stops inside Qt Core cannot be told apart from one of ours by the suppressions.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:fast_unwind_on_malloc=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:suppressions=$PWD/scripts/tsan.supp}
exec "$(dirname "$0")/no-leftovers.py" ctest --test-dir "$build" --output-on-failure -j 2 "$@"
