#!/usr/bin/env bash
# How much of the PulseAudio output its tests reach: builds them with coverage counters
# into a folder of its own (build-coverage), runs them beside a private PulseAudio
# server (tests/engine/with_sound_server.sh) and prints gcovr's branch and line figures
# for src/engine/Pulse*.cpp, with the lines no test ran. Not part of `make test` nor of
# CI; `make coverage` runs it. Needs gcovr (apt-get install gcovr).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-coverage}
command -v gcovr >/dev/null || { echo "gcovr is not installed: apt-get install gcovr"; exit 1; }
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSORVEL_WERROR=ON -DSORVEL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="--coverage -fprofile-update=atomic" -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DCMAKE_MODULE_LINKER_FLAGS=--coverage "${launcher[@]}" >/dev/null
cmake --build "$build" --target engine_pulse_output_tests
find "$build" -name '*.gcda' -delete
QT_QPA_PLATFORM=offscreen tests/engine/with_sound_server.sh "$build/tests/engine/engine_pulse_output_tests"

# Branches the compiler adds for exceptions and for what it proved unreachable are left
# out: the output throws nothing of its own.
report() {
  gcovr --root . --filter 'src/engine/Pulse' --exclude-throw-branches --exclude-unreachable-branches \
    "$@" "$build/src/engine"
}
echo "== branches"
report --branches
echo "== lines (Missing: the lines no test ran)"
report
