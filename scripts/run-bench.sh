#!/usr/bin/env bash
# Runs every benchmark program (bench_*) of a build folder and prints its figures.
set -euo pipefail
build=${1:-build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
status=0
for exe in $(find "$build/bench" -type f -executable -name 'bench_*' | sort); do
  echo "== $(basename "$exe")"
  case $(basename "$exe") in
    # Plays through PulseAudio: into a private server's null sink, not the desktop's.
    bench_rate_change) "$(dirname "$0")/../tests/engine/with_sound_server.sh" "$exe" || status=1 ;;
    *) "$exe" || status=1 ;;
  esac
done
exit $status
