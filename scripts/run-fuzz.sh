#!/usr/bin/env bash
# Runs each fuzz target of a fuzz build (make fuzz) for a fixed time from a small
# seed corpus. Exits non-zero when a target finds a crash; its input is kept in
# BUILD/fuzz-artifacts.
set -euo pipefail
build=${1:?usage: run-fuzz.sh BUILD_FOLDER}
seconds=${FUZZ_SECONDS:-30}
# A fixed seed keeps CI runs comparable; FUZZ_SEED=0 lets libFuzzer pick one.
seed=${FUZZ_SEED:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts" "$work/page" "$work/temp"

zeros() { head -c "$1" /dev/zero; }
# header: signature (34) + zeros to byte 40, marker 27, Count, zeros to byte 499
header() { printf 'Sorvel  1.x.x   Written by Sorvel.'; zeros 7; printf '\x1b'; printf "$1"; zeros 454; }
# record: byte 0, IsFolder, Level, byte 3, No (4 bytes), then a 492-byte Path
record() { printf "$1"; printf '%s' "$2"; zeros $((492 - ${#2})); }

header '\x00\x00\x00\x00' > "$work/page/empty"
{ header '\x02\x00\x00\x00'; record '\x00\x01\x00\x00\x00\x00\x00\x00' '/m/D'; record '\x00\x00\x01\x00\x01\x00\x00\x00' '/m/D/a.mp3'; } > "$work/page/two"
{ header '\x01\x00\x00\x00'; printf '\x00\x00\x00\x00\x01\x00\x00\x00/\xc0\xbd\xbe\xc7/\xb0\xa1.mp3'; zeros 478; } > "$work/page/korean"
{ header '\x01\x00\x00\x00'; printf '\x00\x00\x00\x01\x01\x00\x00\x00/m/\xf0\x9f\x8e\xb5.mp3'; zeros 480; } > "$work/page/utf8"
{ header '\x05\x00\x00\x00'; record '\x00\x00\x00\x00\x00\x00\x00\x00' '/m/a.mp3'; } > "$work/page/short"
printf '/m/a.mp3\r\n/m/b.ogg\r\n' > "$work/temp/crlf"
printf '/m/a.mp3\n\r\n/m/b.ogg\r/m/c.wav' > "$work/temp/mixed"
printf '/\xc0\xbd\xbe\xc7/\xb0\xa1.mp3\r\n' > "$work/temp/korean"
printf '\xef\xbb\xbf/m/\xf0\x9f\x8e\xb5.mp3\r\n' > "$work/temp/utf8"

status=0
run() {
  local target=$1 corpus=$2
  echo "== $target (${seconds}s)"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -seed="$seed" -rss_limit_mb=2048 -max_len=8192 \
       -artifact_prefix="$artifacts/$target-" -print_final_stats=1 "$corpus"; then
    echo "$target: crash, input kept in $artifacts" >&2
    status=1
  fi
}
run fuzz_page_file "$work/page"
run fuzz_temp_list "$work/temp"
exit $status
