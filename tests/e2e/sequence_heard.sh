#!/usr/bin/env bash
# Every sample of songs given in a row reaches the sink. One signal is cut into songs of
# several formats and rates, encoded by the Debian encoders, and given to the shipped
# player on its command line with a silent song after them; a private PulseAudio null
# sink is recorded from before the player starts. The recording must hold the signal
# whole: sample for sample for lossless songs at the sink's rate, within 1 ms of its
# length for the others, and no silence anywhere inside it. Prints one line per sequence.
# Usage: sequence_heard.sh BUILD_DIR SEQUENCE_PROBE [SEQUENCE...]
set -euo pipefail
. "$(dirname "$0")/session.sh"
require Xvfb openbox pulseaudio pactl parec pacat cmake lame flac oggenc opusenc ffmpeg
build=$1
probe=$2
shift 2
# Each sequence: its name, then its songs as FORMAT@RATE:FRAMES. Lengths that no codec's
# frame size divides; each format comes before and after others. The last song of
# `lossy` is shorter than what the output holds ahead of what is heard.
declare -A sequences=(
  [mp3]="mp3@44100:88211 mp3@44100:88013 mp3@44100:87989"
  [lossless]="flac@44100:63011 wav@44100:61989 flac@44100:64013 wav@44100:62777"
  [lossy]="mp3@44100:63011 ogg@44100:61989 opus@44100:64013 m4a@44100:62777 mp3@44100:17011"
  [rates]="flac@48000:68653 mp3@44100:63011 wav@48000:69331 ogg@48000:68003 m4a@44100:61989 opus@48000:67013"
)
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(mp3 lossless lossy rates)
# A sanitizer build (SORVEL_E2E_SLOW) starts several times slower.
if [ -n "${SORVEL_E2E_SLOW:-}" ]; then patience=90; else patience=30; fi

session_begin
install_player "$build"
settings=$(cat "$XDG_CONFIG_HOME/sorvel/Sorvel.ini")
"$probe" silence "$work/rest.wav" 5

encode() {  # encode FORMAT WAV OUT
  case $1 in
    wav) cp "$2" "$3" ;;
    mp3) lame --quiet -b 192 "$2" "$3" ;;
    flac) flac --silent --force -o "$3" "$2" ;;
    ogg) oggenc --quiet -q 6 -o "$3" "$2" ;;
    opus) opusenc --quiet --bitrate 128 "$2" "$3" ;;
    m4a) ffmpeg -nostdin -loglevel error -y -i "$2" -c:a aac -b:a 192k "$3" ;;
  esac
}

# Writes the sequence's songs into $work/NAME and sets $songs and $seconds (its length)
# and $exact (lossless songs at 44.1 kHz only).
make_sequence() {
  local name=$1 song format rate frames i=0
  mkdir -p "$work/$name"
  songs=() seconds=0 exact=exact
  for song in ${sequences[$name]}; do
    format=${song%@*} rate=${song#*@} frames=${rate#*:} rate=${rate%:*}
    i=$((i + 1))
    "$probe" piece "$work/$name/$i.wav" "$rate" "$seconds" "$frames"
    encode "$format" "$work/$name/$i.wav" "$work/$name/join$i.$format"
    songs+=("$work/$name/join$i.$format")
    seconds=$(awk -v s="$seconds" -v f="$frames" -v r="$rate" 'BEGIN { printf "%.9f", s + f / r }')
    case $format@$rate in wav@44100|flac@44100) ;; *) exact= ;; esac
  done
}

x_session_start 1024x768x24
sound_server_start
# The sink at a steady 10 ms, so that its monitor is heard from the moment the recording
# starts; a longer latency than the other tests use, as a desktop's often is.
keep_sink_awake 40

failed=0
for name in "${names[@]}"; do
  make_sequence "$name"
  # A list of its own for each run: the songs given and nothing else.
  export XDG_CONFIG_HOME=$work/config-$name
  mkdir -p "$XDG_CONFIG_HOME/sorvel"
  printf '%s' "$settings" > "$XDG_CONFIG_HOME/sorvel/Sorvel.ini"
  record_start "$work/$name.raw"
  "$sorvel" "${songs[@]}" "$work/rest.wav" > "$work/$name.log" 2>&1 &
  player=$!
  track $player
  wait_until "$patience" "$probe" ended "$work/$name.raw" || echo "$name: the sequence did not end in time"
  kill "$player"
  wait_until 5 process_gone "$player" || fail "the player did not end when asked: $(cat "$work/$name.log")"
  wait "$player" || fail "the player ended badly: $(cat "$work/$name.log")"
  record_stop
  heard=$("$probe" analyse "$work/$name.raw" "$seconds" $exact) || failed=1
  echo "$name: $heard"
done
[ "$failed" = 0 ] || fail "a sequence was not heard whole"
echo "ok"
