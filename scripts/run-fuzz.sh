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
mkdir -p "$artifacts" "$work/page" "$work/temp" "$work/wave" "$work/ogg" "$work/mp3" "$work/gain"

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

# Loudness tags: tiny songs tagged by the tools listeners use, and hand-built ID3v2 and
# APEv2 tags for what those tools do not write.
gain=$work/gain
ffmpeg -v error -f lavfi -i sine=d=0.05 -fflags +bitexact "$work/tone.wav"
flac --silent -o "$gain/a.flac" "$work/tone.wav"
metaflac --set-tag='REPLAYGAIN_TRACK_GAIN=-6.50 dB' --set-tag=REPLAYGAIN_TRACK_PEAK=0.91 "$gain/a.flac"
oggenc --quiet -o "$gain/a.ogg" "$work/tone.wav"
vorbiscomment -a -t 'REPLAYGAIN_ALBUM_GAIN=+2.25 dB' "$gain/a.ogg"
opusenc --quiet --comment R128_TRACK_GAIN=-512 "$work/tone.wav" "$gain/a.opus"
ffmpeg -v error -i "$work/tone.wav" -metadata 'REPLAYGAIN_TRACK_GAIN=-7.25 dB' "$gain/v24.mp3"
lame --quiet --id3v2-utf16 --tv 'TXXX=replaygain_album_gain=-3.10 dB' "$work/tone.wav" "$gain/v23.mp3"
ffmpeg -v error -i "$work/tone.wav" -c:a aac "$gain/a.m4a"
AtomicParsley "$gain/a.m4a" --overWrite --rDNSatom '-4.00 dB' name=replaygain_track_gain domain=com.apple.iTunes >/dev/null
lame --quiet "$work/tone.wav" "$work/plain.mp3"
python3 - "$work/plain.mp3" "$gain" <<'EOF'
import struct, sys
mp3 = open(sys.argv[1], 'rb').read()
def write(name, data): open(sys.argv[2] + '/' + name, 'wb').write(data)
def syncsafe(n): return bytes((n >> s) & 0x7F for s in (21, 14, 7, 0))
def unsync(b): return b.replace(b'\xff', b'\xff\x00')
def utf16(text): return b'\xff\xfe' + text.encode('utf-16-le') + b'\0\0'
txxx = b'\x01' + utf16('REPLAYGAIN_TRACK_GAIN') + utf16('-2.50 dB')
v24 = b'TXXX' + syncsafe(len(unsync(txxx)) + 4) + b'\0\x03' + syncsafe(len(txxx)) + unsync(txxx)
write('v24-unsync.mp3', b'ID3\4\0\0' + syncsafe(len(v24)) + v24 + mp3)
v23 = unsync(b'TXXX' + struct.pack('>I', len(txxx)) + b'\0\0' + txxx)
write('v23-unsync.mp3', b'ID3\3\0\x80' + syncsafe(len(v23)) + v23 + mp3)
txx = b'\0REPLAYGAIN_TRACK_GAIN\0+1.00 dB'
v22 = b'TXX' + struct.pack('>I', len(txx))[1:] + txx
write('v22.mp3', b'ID3\2\0\0' + syncsafe(len(v22)) + v22 + mp3)
items = b''.join(struct.pack('<II', len(v), 0) + k + b'\0' + v
                 for k, v in ((b'REPLAYGAIN_TRACK_GAIN', b'-8.40 dB'), (b'REPLAYGAIN_TRACK_PEAK', b'0.66')))
def ape(flags): return b'APETAGEX' + struct.pack('<IIII', 2000, len(items) + 32, 2, flags) + bytes(8)
write('ape.mp3', mp3 + ape(0xA0000000) + items + ape(0x80000000) + b'TAG' + bytes(125))
EOF

status=0
run() {
  local target=$1 corpus=$2 length=${3:-8192}
  echo "== $target (${seconds}s)"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -seed="$seed" -rss_limit_mb=2048 -max_len="$length" \
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
run fuzz_replay_gain "$gain" 32768
exit $status
