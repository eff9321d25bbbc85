#!/usr/bin/env bash
# What a daily listener reaches for, on the shipped sorvel through its media controls and
# a PulseAudio null sink, on a virtual X display:
#   - a list with a text file, a 0-byte FLAC and a song deleted while it waits between
#     good songs plays every good song, in order, and says on stderr why each bad one
#     was passed over;
#   - previous after 1 s goes to the song before (passing the bad ones backwards), after
#     5 s to the start of the same song;
#   - a playlist file given on the command line adds the songs it names (relative,
#     absolute and file:// lines) in order, and plays the first;
#   - a restart with no paths carries on with the song heard last, paused within 0.5 s of
#     where it was, and play goes on from there; paths given win; a song that is gone
#     leaves the player stopped.
# Usage: daily_listener.sh BUILD_DIR PLAY_PROBE
set -euo pipefail
. "$(dirname "$0")/session.sh"
require Xvfb openbox xdotool pulseaudio pactl playerctl cmake
with_session_bus "$@"

build=$1
probe=$2
session_begin
install_player "$build"
printf '[Data]\r\nVolume=55\r\n' > "$XDG_CONFIG_HOME/sorvel/Sorvel.ini"
songs=$work/songs
mkdir -p "$songs"
"$probe" make "$songs/a.wav" 2 440
"$probe" make "$songs/b.wav" 3 550
"$probe" make "$songs/c.wav" 12 660
"$probe" make "$songs/gone.wav" 2 770
echo "not music" > "$songs/text.mp3"
: > "$songs/empty.flac"

x_session_start 1024x768x24
sound_server_start

pc() { timeout 5 playerctl -p sorvel "$@" 2>/dev/null; }
is() { [ "$(pc status)" = "$1" ]; }
song_is() { [ "$(basename "$(pc metadata xesam:url)")" = "$1" ]; }
# The position the media controls report, in whole milliseconds.
position_ms() { pc position | awk '{printf "%d", $1 * 1000}'; }
past() { [ "$(position_ms)" -ge "$1" ]; }
before() { [ "$(position_ms)" -lt "$1" ]; }
app=
start() {  # start LOG ARGS...: the program, until its media controls answer
  local log=$1; shift
  (cd "$songs" && exec "$sorvel" "$@" > "$work/$log" 2>&1) & app=$!
  track $app
  wait_until 15 pc status > /dev/null || fail "no media controls: $(cat "$work/$log")"
}
# The media controls' Quit: a quit the listener asked for.
quit() {
  timeout 5 dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.sorvel \
    /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Quit
  wait_exit $app 20 || fail "$1 did not end the program"
}

# Pass-over: every good song, in order, the bad ones between them passed over.
start first.log a.wav text.mp3 empty.flac gone.wav b.wav c.wav
rm "$songs/gone.wav"
heard=()
for _ in $(seq 150); do
  now=$(basename "$(pc metadata xesam:url)" 2>/dev/null || true)
  if [ -n "$now" ] && { [ ${#heard[@]} -eq 0 ] || [ "${heard[-1]}" != "$now" ]; }; then heard+=("$now"); fi
  [ "$now" = c.wav ] && break
  sleep 0.1
done
[ "${heard[*]}" = "a.wav b.wav c.wav" ] || fail "heard ${heard[*]}, not a.wav b.wav c.wav: $(cat "$work/first.log")"
for bad in text.mp3 empty.flac gone.wav; do
  grep -q "$bad" "$work/first.log" || fail "nothing on stderr says why $bad was passed over: $(cat "$work/first.log")"
done
is Playing || fail "not playing c.wav: $(pc status)"
echo "pass-over: heard ${heard[*]}"

# Previous: past 3 s the same song from its start; within it the song before.
wait_until 10 past 5000 || fail "c.wav did not reach 5 s"
pc previous
wait_until 3 before 1500 || fail "previous after 5 s did not go to the start: $(position_ms) ms"
song_is c.wav || fail "previous after 5 s left c.wav for $(pc metadata xesam:url)"
wait_until 5 past 1000 || fail "c.wav did not reach 1 s again"
pc previous
wait_until 3 song_is b.wav || fail "previous after 1 s went to $(pc metadata xesam:url), not b.wav"
pc previous
wait_until 3 song_is a.wav || fail "previous from b.wav went to $(pc metadata xesam:url), not a.wav past the bad ones"
echo "previous: c.wav to its start, then b.wav, then a.wav"

# Carry on: c.wav, 4 s in, at the quit.
pc next > /dev/null
wait_until 5 song_is b.wav || fail "next from a.wav: $(pc metadata xesam:url)"
pc next > /dev/null
wait_until 5 song_is c.wav || fail "next from b.wav: $(pc metadata xesam:url)"
wait_until 10 past 4000 || fail "c.wav did not reach 4 s"
left=$(position_ms)
quit "the quit"
start second.log
wait_until 5 is Paused || fail "the restart is $(pc status), not paused: $(cat "$work/second.log")"
song_is c.wav || fail "the restart holds $(pc metadata xesam:url), not c.wav"
at=$(position_ms)
[ $((at - left)) -le 500 ] && [ $((left - at)) -le 500 ] || fail "the restart holds c.wav at $at ms, left at $left ms"
pc play
wait_until 5 is Playing || fail "play after the restart: $(pc status)"
wait_until 5 past $((at + 500)) || fail "c.wav did not go on from $at ms"
echo "carry on: left at $left ms, held at $at ms, played on"
quit "the second quit"

# A playlist file: its songs in order on the temporary list, the first playing.
mkdir -p "$songs/lists"
for n in 1 2 3; do "$probe" make "$songs/p$n.wav" 2 $((300 + n * 100)); done
printf '#EXTM3U\n#EXTINF:2,One\n../p1.wav\n%s/p2.wav\nfile://%s/p3.wav\n' "$songs" "$songs" > "$songs/lists/mix.m3u"
start fifth.log lists/mix.m3u
wait_until 5 song_is p1.wav || fail "the playlist's first song did not play: $(pc metadata xesam:url): $(cat "$work/fifth.log")"
quit "the quit after the playlist"
tail -n 3 "$XDG_CONFIG_HOME/sorvel/Temprary.txt" | tr -d '\r' > "$work/tail.txt"
printf '%s\n' "$songs/p1.wav" "$songs/p2.wav" "$songs/p3.wav" | diff - "$work/tail.txt" \
  || fail "the temporary list does not end with the playlist's songs in order"
echo "playlist file: its three songs in order"

# Paths given win over it; a song that is gone leaves the player stopped.
start third.log a.wav
wait_until 5 song_is a.wav || fail "the path given did not play: $(pc metadata xesam:url)"
quit "the third quit"
rm "$songs/a.wav"
start fourth.log
sleep 1
is Stopped || fail "with its song gone the restart is $(pc status)"
[ ! -s "$work/fourth.log" ] || ! grep -q "a.wav" "$work/fourth.log" || fail "a song that is gone was talked about: $(cat "$work/fourth.log")"
echo ok
