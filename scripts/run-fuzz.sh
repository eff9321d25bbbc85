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
mkdir -p "$artifacts" "$work/page" "$work/temp" "$work/wave" "$work/ogg" "$work/mp3"

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

# Music files: tiny ones made by Debian's tools, so the readers start past their headers.
sox -q -n -r 8000 -c 1 -b 16 "$work/wave/tone.wav" synth 0.05 sine 440 2>/dev/null || true
sox -q -n -r 8000 -c 2 -b 24 "$work/wave/tone.aiff" synth 0.05 sine 440 2>/dev/null || true
sox -q -n -r 8000 -c 1 -b 16 "$work/tone.wav" synth 0.2 sine 440 2>/dev/null || true
opusenc --quiet --bitrate 16 "$work/tone.wav" "$work/ogg/tone.opus" 2>/dev/null || true
if [ -f "$work/ogg/tone.opus" ]; then cat "$work/ogg/tone.opus" "$work/ogg/tone.opus" > "$work/ogg/chained.opus"; fi
lame --quiet -b 8 --tt "제목" --ta "Artist" --add-id3v2 "$work/tone.wav" "$work/mp3/tone.mp3" 2>/dev/null || true
rm -f "$work/tone.wav"

status=0
run() {
  local target=$1 corpus=$2 maxlen=${3:-8192}
  echo "== $target (${seconds}s)"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -seed="$seed" -rss_limit_mb=2048 -max_len="$maxlen" \
       -artifact_prefix="$artifacts/$target-" -print_final_stats=1 "$corpus"; then
    echo "$target: crash, input kept in $artifacts" >&2
    status=1
  fi
}
run fuzz_page_file "$work/page"
run fuzz_temp_list "$work/temp"
run fuzz_wave_file "$work/wave" 16384
run fuzz_ogg_opus "$work/ogg" 16384
run fuzz_id3_tags "$work/mp3" 16384
exit $status
