#!/usr/bin/env bash
# The shipped sorvel with the files a Linux listener has, on a virtual X display with a
# window manager and a private PulseAudio server with a null sink:
#   - FLAC, Opus, M4A and AIFF songs, the first from the command line and the others
#     handed over by second starts, are added and play: each one's tone reaches the sink;
#   - the temporary file a killed save left is gone once the program has started;
#   - a name that is not UTF-8 plays, and it and two names that differ only in letter
#     case are all kept: "Temprary.txt" holds their bytes when the program ends;
#   - a second start handing over a song and /usr (some 150,000 names) plays the song
#     at once and never keeps the playlist window from answering: a ping every 50 ms
#     comes back within 100 ms while /usr is walked.
# Usage: files_under_xvfb.sh SORVEL PLAY_PROBE PING_PROBE. SHOT=path keeps a screenshot.
# Xvfb without a window manager: see the ping below.
set -euo pipefail
. "$(dirname "$0")/session.sh"
require Xvfb openbox xprop xdotool pulseaudio parec pactl import

sorvel=$1
probe=$2
ping=$3
session_begin
export QT_QPA_PLATFORM=xcb

# The program keeps its files beside the executable: give it a folder of its own.
app=$work/app
songs=$work/songs
mkdir -p "$app" "$songs/after"
cp "$sorvel" "$app/sorvel"
"$probe" make "$songs/a.flac" 2 440
"$probe" make "$songs/b.opus" 2 660
"$probe" make "$songs/c.m4a" 2 880
"$probe" make "$songs/d.aiff" 2 1100
latin1=$songs/$'caf\xe9.mp3'
"$probe" make "$latin1" 2 1320
"$probe" make "$songs/Song.mp3" 1 500
cp "$songs/Song.mp3" "$songs/song.mp3"
"$probe" make "$songs/after/z.mp3" 2 1540

x_session_start 1024x768x24
# The window thread answers a ping to the client that redirects the root window, the
# window manager's place: the probe takes it, so no window manager runs here.
kill "$x_manager" && wait "$x_manager" 2>/dev/null || true
x_manager=
sound_server_start
record_start "$work/rec.raw"

# Waits until the recording holds `hz` (within 40 Hz) after `from` seconds of it.
heard() {
  local hz=$1 from=$2
  for _ in $(seq 100); do
    # Only the part recorded since `from` is analysed.
    tail -c +$(( from * 44100 * 4 + 1 )) "$work/rec.raw" > "$work/part.raw"
    "$probe" tones "$work/part.raw" | awk -v hz="$hz" \
      '$2 > hz - 40 && $2 < hz + 40 { found = 1 } END { exit !found }' && return 0
    sleep 0.1
  done
  return 1
}
seconds() { echo $(( $(stat -c %s "$work/rec.raw") / 4 / 44100 )); }

# What a save killed half-way would have left.
head -c 5000 /dev/zero > "$app/MusicList1.dat.tmp-Ab3dE9"
# The program's own choice of sound output (the sound server's client library).
unset SDL_AUDIODRIVER
"$app/sorvel" "$songs/a.flac" > "$work/sorvel.log" 2>&1 & sorvel_pid=$!
track $sorvel_pid
heard 440 0 || fail "the FLAC song from the command line was not heard"
[ ! -e "$app/MusicList1.dat.tmp-Ab3dE9" ] || fail "the temporary file a killed save left is still there"
for song in b.opus:660 c.m4a:880 d.aiff:1100; do
  from=$(seconds)
  code=0; "$app/sorvel" "$songs/${song%%:*}" || code=$?
  [ "$code" = 1 ] || fail "the second start with ${song%%:*} ended with $code, not 1"
  heard "${song##*:}" "$from" || fail "${song%%:*} handed over was not heard"
done
echo "FLAC, Opus, M4A and AIFF played"

from=$(seconds)
"$app/sorvel" "$latin1" "$songs/Song.mp3" "$songs/song.mp3" || true
heard 1320 "$from" || fail "the song whose name is not UTF-8 was not heard"
echo "the name that is not UTF-8 played"

list=$(xdotool search --onlyvisible --name '^음악파일 리스트 - Sorvel$' | head -n 1)
[ -n "$list" ] || fail "no playlist window"
# The window answers when idle, for the machine's own figure.
idle=$("$ping" "$list" 1 50 1000) || fail "the playlist window does not answer: $idle"
echo "idle: $idle"
idle_ms=$(echo "$idle" | sed -E 's/.*longest ([0-9.]+) ms.*/\1/')
# On a loaded machine the idle figure itself can exceed what is asked; the walk may add
# no more than 100 ms to it.
limit=$(awk -v idle="$idle_ms" 'BEGIN { print (idle > 50 ? idle + 100 : 100) }')
# The song first, then /usr: the song plays at once, and "Temprary.txt" is written anew
# when the walk is done. Pinged from before the hand-over on, so a window that stops
# answering is caught. A loaded machine can hold any process up once: a walk whose ping
# came back late is measured a second time, and must pass then (a window that waits for
# the walk, as it did before, answers seconds late both times).
walk_usr() {
  before=$(stat -c %i "$app/Temprary.txt")
  from=$(seconds)
  started=$(date +%s.%N)
  "$ping" "$list" 5 50 "$limit" > "$work/ping.log" & pinger=$!
  track $pinger
  sleep 0.3
  "$app/sorvel" "$songs/after" /usr || true
  local answered=0
  wait "$pinger" || answered=$?
  echo "walking /usr: $(cat "$work/ping.log")"
  heard 1540 "$from" || fail "the song handed over with /usr did not play at once"
  for _ in $(seq 600); do [ "$(stat -c %i "$app/Temprary.txt")" != "$before" ] && break; sleep 0.1; done
  [ "$(stat -c %i "$app/Temprary.txt")" != "$before" ] || fail "the walk of /usr did not end within a minute"
  echo "the walk of /usr took $(awk -v s="$started" -v e="$(date +%s.%N)" 'BEGIN { printf "%.1f", e - s }') s"
  return $answered
}
walk_usr || walk_usr || fail "the window stopped answering during the walk of /usr twice (limit $limit ms)"

[ -n "${SHOT:-}" ] && import -window root "$SHOT"
kill -TERM "$sorvel_pid"
wait "$sorvel_pid" || fail "sorvel did not end cleanly"
temp=$app/Temprary.txt
for name in "$songs/a.flac" "$songs/b.opus" "$songs/c.m4a" "$songs/d.aiff" "$latin1" "$songs/Song.mp3" \
            "$songs/song.mp3" "$songs/after/z.mp3"; do
  LC_ALL=C grep -qaF -- "$name" "$temp" || fail "Temprary.txt lost $(printf '%q' "$name")"
done
echo "Temprary.txt keeps every name, byte for byte"
