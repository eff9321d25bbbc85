#!/usr/bin/env bash
# ReplayGain as heard from the shipped sorvel at a PulseAudio null sink: each tagged file
# (MP3 with ID3v2 TXXX, FLAC, Vorbis, Opus R128, M4A freeform) is heard at its gain
# against its untagged copy, within 0.5 dB; a +6 dB track whose stated peak is 0.9 is
# held to 1/0.9; two tracks of one album (same folder and album tag) play at the album
# gain, not their own. Each song is a tone of its own, so that a song and its copy are
# told apart from the others in the recording.
# Usage: replay_gain_heard.sh BUILD_DIR PLAY_PROBE
set -euo pipefail
. "$(dirname "$0")/session.sh"
require Xvfb openbox pulseaudio pactl parec playerctl cmake ffmpeg metaflac vorbiscomment AtomicParsley
with_session_bus "$@"

build=$1
probe=$2
session_begin
install_player "$build"
songs=$work/songs
mkdir -p "$songs/album"
cd "$songs"
seconds=1.2
"$probe" make m.mp3 $seconds 400
ffmpeg -v error -i m.mp3 -c copy -metadata "REPLAYGAIN_TRACK_GAIN=-6.00 dB" mt.mp3
"$probe" make f.flac $seconds 600
cp f.flac ft.flac && metaflac "--set-tag=REPLAYGAIN_TRACK_GAIN=-3.00 dB" ft.flac
"$probe" make v.ogg $seconds 800
cp v.ogg vt.ogg && vorbiscomment -a -t "REPLAYGAIN_TRACK_GAIN=+3.00 dB" vt.ogg
"$probe" make o.opus $seconds 1000
ffmpeg -v error -i o.opus -c copy -metadata R128_TRACK_GAIN=-2560 ot.opus  # -10 dB to -23 LUFS: -5 dB
"$probe" make a.m4a $seconds 1200
cp a.m4a at.m4a && AtomicParsley at.m4a --overWrite --rDNSatom "-4.00 dB" name=REPLAYGAIN_TRACK_GAIN \
  domain=com.apple.iTunes > /dev/null
"$probe" make p.flac $seconds 1400
cp p.flac pt.flac && metaflac "--set-tag=REPLAYGAIN_TRACK_GAIN=+6.00 dB" --set-tag=REPLAYGAIN_TRACK_PEAK=0.9 pt.flac
"$probe" make r1.flac $seconds 1600
"$probe" make r2.flac $seconds 1800
cp r1.flac album/1.flac && cp r2.flac album/2.flac
metaflac --set-tag=ALBUM=Blue "--set-tag=REPLAYGAIN_TRACK_GAIN=-2.00 dB" "--set-tag=REPLAYGAIN_ALBUM_GAIN=-6.00 dB" album/1.flac
metaflac --set-tag=ALBUM=Blue "--set-tag=REPLAYGAIN_TRACK_GAIN=-9.00 dB" "--set-tag=REPLAYGAIN_ALBUM_GAIN=-6.00 dB" album/2.flac

x_session_start 1024x768x24
sound_server_start
keep_sink_awake
record_start "$work/rec.raw"
# The untagged copies first, then the tagged songs, so that each tone is heard twice apart;
# the album's two tracks stand side by side.
"$sorvel" m.mp3 f.flac v.ogg o.opus a.m4a p.flac r1.flac r2.flac \
  mt.mp3 ft.flac vt.ogg ot.opus at.m4a pt.flac album/1.flac album/2.flac > "$work/sorvel.log" 2>&1 & app=$!
track $app
pc() { timeout 5 playerctl -p sorvel "$@" 2>/dev/null; }
last_song() { [ "$(pc metadata xesam:url)" = "file://$songs/album/2.flac" ]; }
wait_until 45 last_song || fail "album/2.flac was not reached: $(cat "$work/sorvel.log")"
sleep 2
record_stop

# hz name expected_db: the song's second stretch against its first (the untagged copy).
failed=
check() {
  local runs
  runs=$("$probe" levels "$work/rec.raw" "$1")
  [ "$(echo "$runs" | wc -l)" -ge 2 ] || fail "$2: the tone and its copy were not both heard: $runs"
  local measured
  measured=$(echo "$runs" | awk 'NR == 1 { a = $3 } NR == 2 { printf "%.2f", $3 - a }')
  echo "$2: heard at $measured dB against its untagged copy (tagged $3 dB)"
  awk -v m="$measured" -v e="$3" 'BEGIN { exit !(m - e <= 0.5 && e - m <= 0.5) }' || failed="$failed $2"
}
check 400 "MP3 ID3v2 TXXX" -6
check 600 "FLAC comment" -3
check 800 "Vorbis comment" 3
check 1000 "Opus R128" -5
check 1200 "M4A freeform" -4
check 1400 "+6 dB held by its 0.9 peak" 0.92
check 1600 "album track 1 (own -2 dB)" -6
check 1800 "album track 2 (own -9 dB)" -6
[ -z "$failed" ] || fail "not heard at their gain:$failed"
