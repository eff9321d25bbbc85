#!/usr/bin/env bash
# Sorvel side by side with a reference player on one private desktop: its own Xvfb,
# openbox, a D-Bus session and a PulseAudio server with a null sink, all started here
# and ended on exit. The same 4-minute MP3 at 320 kbit/s plays in both (long enough that
# neither reaches its end while measured); rounds alternate
# between the players, and the table gives the median of the rounds. Only ratios taken
# in one run are worth comparing on a shared machine.
#
#   bench/engine/side_by_side.sh [BUILD]      (ROUNDS=3 WINDOW=40 by default)
#   ONLY=launch ROUNDS=15 bench/engine/side_by_side.sh [BUILD]   (launches alone, quick)
#   ONLY=weight bench/engine/side_by_side.sh [BUILD]   (memory per format and first sound)
#   ONLY=cpu bench/engine/side_by_side.sh [BUILD]      (CPU per thread alone)
#
# Without the reference player installed (REFERENCE names it) Sorvel is measured alone.
#
# Measured, per player, on the installed program as a listener starts it (`PLAYER SONG`):
# CPU of the player and of the sound server while playing with the window shown,
# minimised (Sorvel hides to the tray), covered by a window over the whole screen, and
# idle with the window shown (s per minute, all threads, and each thread by name), their
# wake-ups (context switches of all threads, per minute), resident memory while playing,
# launch to the window mapped, and play press (and resume after pause) to the first
# sound at the null sink's monitor. CPU time is the scheduler's own count of each
# thread's time on a processor (schedstat, in ns): the clock-tick count in stat charges
# a whole 10 ms tick to a thread that a timer wakes at the tick, several times over what
# such a thread uses. Both players are asked to play through a command-line remote
# control (Sorvel: MPRIS through dbus-send), so both figures include that client's start.
#
# Weight, per format (MP3, FLAC, Ogg Vorbis, Opus, WAV, and a list of short songs that
# mixes them): `PLAYER SONG` from the command line, launch to the first sound at the
# monitor, then RSS, PSS, private dirty memory and the shared libraries mapped while it
# plays (for the list: once every kind has played). The machine's load average is noted
# beside each measurement; players alternate.
set -euo pipefail
[ -n "${TRACE:-}" ] && set -x
build=$(cd "${1:-build}" && pwd)
rounds=${ROUNDS:-3}
window=${WINDOW:-40}
probe=$build/bench/engine/playback_probe
reference=${REFERENCE:-audacious}

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${SIDE_BY_SIDE_INNER:-}" ]; then
  # The reference player is not installed here: a run without it measures Sorvel alone.
  need=(xvfb openbox pulseaudio pulseaudio-utils dbus-x11 x11-utils)
  missing=()
  for p in "${need[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "installing ${missing[*]}"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  [ -x "$probe" ] || { echo "build $probe first (cmake --build $build)"; exit 2; }
  work=$(mktemp -d)
  mkdir -p "$work/run" && chmod 700 "$work/run"
  export SIDE_BY_SIDE_INNER=1 XDG_RUNTIME_DIR=$work/run HOME=$work SIDE_BY_SIDE_WORK=$work
  unset SDL_AUDIODRIVER QT_QPA_PLATFORM PULSE_SERVER
  status=0
  dbus-run-session -- "$0" "$build" || status=$?
  rm -rf "$work"
  exit $status
fi

work=$SIDE_BY_SIDE_WORK
display=:$(( 300 + RANDOM % 200 ))
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  pulseaudio --kill >/dev/null 2>&1 || true
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
sleep 0.5
openbox >/dev/null 2>&1 &
pids+=($!)
pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load="module-null-sink sink_name=bench_null" \
  --load="module-native-protocol-unix" --log-target=file:"$work/pa.log" 2>/dev/null
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink bench_null
server=$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null || true)
[ -n "$server" ] && [ -d "/proc/$server" ] || { echo "no sound server"; exit 1; }

"$probe" make-song "$work/song.mp3" 240 320
for kind in flac ogg opus wav; do "$probe" make-song "$work/song.$kind" 60 160; done
mkdir -p "$work/mixed"
for kind in mp3 flac ogg opus wav; do "$probe" make-song "$work/mixed/$kind.$kind" 3 160; done
mkdir -p "$work/sorvel" "$work/app"
cp "$build/src/sorvel" "$work/app/sorvel"   # its settings go beside it, not into the build
cp "$build"/src/libsorvel_*.so "$work/app/"   # its decoders, where it looks first

# CPU time in ns (the scheduler's count), of a process or of one thread.
ticks() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%.0f\n", s}'; }
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^(non)?voluntary_ctxt_switches/ {s += $2} END {print s}'; }
rss_mb() { awk '/^VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$1/status"; }
now() { date +%s%N; }

# Per-thread CPU ticks of PID: "name ticks" lines, threads of one name summed.
thread_ticks() {
  local t name
  for t in /proc/"$1"/task/*; do
    name=$(tr ' ' '_' < "$t/comm" 2>/dev/null) || continue
    awk -v n="$name" '{print n, $1}' "$t/schedstat" 2>/dev/null || true
  done | awk '{s[$1] += $2} END {for (n in s) print n, s[n]}'
}

# thread_rates WHO STATE KEY BEFORE AFTER: notes WHO.STATE_KEY:NAME in s/min per thread.
thread_rates() {
  awk -v who="$1" -v state="$2" -v key="$3" -v w="$window" '
    FNR == NR {a[$1] = $2; next}
    {print who "." state "_" key ":" $1, sprintf("%.3f", ($2 - a[$1]) / 1e9 * 60 / w)}' "$4" "$5" >> "$results"
}

# measure WHO STATE PID: CPU s/min of PID and of the server, their wake-ups/min, and the
# CPU of each of their threads, over $window s. A player that is gone (the reference
# has crashed under load) gives no figures.
measure() {
  local who=$1 state=$2 p=$3 t0 s0 w0 v0 t1 s1 w1 v1
  [ -d "/proc/$p" ] || return 0
  thread_ticks "$p" > "$work/pt0"; thread_ticks "$server" > "$work/st0"
  t0=$(ticks "$p"); s0=$(ticks "$server"); w0=$(switches "$p"); v0=$(switches "$server")
  sleep "$window"
  [ -d "/proc/$p" ] || return 0
  t1=$(ticks "$p"); s1=$(ticks "$server"); w1=$(switches "$p"); v1=$(switches "$server")
  thread_ticks "$p" > "$work/pt1"; thread_ticks "$server" > "$work/st1"
  read -r cpu srv wp ws < <(awk -v a="$t0" -v b="$t1" -v c="$s0" -v d="$s1" -v e="$w0" -v f="$w1" \
      -v g="$v0" -v h="$v1" -v w="$window" \
      'BEGIN {m = 60 / w; printf "%.3f %.3f %.0f %.0f\n", (b-a)/1e9*m, (d-c)/1e9*m, (f-e)*m, (h-g)*m}')
  note "$who.${state}_cpu" "$cpu"; note "$who.${state}_server_cpu" "$srv"
  note "$who.${state}_wakeups" "$wp"; note "$who.${state}_server_wakeups" "$ws"
  thread_rates "$who" "$state" thread "$work/pt0" "$work/pt1"
  thread_rates "$who" "$state" server_thread "$work/st0" "$work/st1"
}

record_start() { parec --latency-msec=5 -d bench_null.monitor --format=s16le --rate=44100 --channels=2 --raw > "$1" & rec=$!; sleep 1; }
record_stop() { kill "$rec"; rec_end=$(now); wait "$rec" 2>/dev/null || true; }

results=$work/results.txt
: > "$results"
note() { echo "$1 $2" >> "$results"; }

launch_sorvel() {
  local t0 t1 p
  t0=$(now); (cd "$work/app" && exec ./sorvel) >/dev/null 2>&1 & p=$!
  t1=$(timeout 20 "$probe" wait-window Sorvel)
  note sorvel.launch_ms "$(( (t1 - t0) / 1000000 ))"
  sleep 1; kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true
}

launch_reference() {
  local t0 t1 p
  t0=$(now); $reference >/dev/null 2>&1 & p=$!
  t1=$(timeout 20 "$probe" wait-window Audacious)
  note ref.launch_ms "$(( (t1 - t0) / 1000000 ))"
  sleep 1; kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true
}

# The installed program playing shown, minimised (to the tray), covered, stopped, and
# then started and resumed through MPRIS.
mpris() {
  dbus-send --session --type=method_call --dest=org.mpris.MediaPlayer2.sorvel /org/mpris/MediaPlayer2 \
    "org.mpris.MediaPlayer2${2:+.$2}.$1" >/dev/null 2>&1 || true
}
round_sorvel() {
  local p t cover
  rm -f "$work/app/Temprary.txt"
  (cd "$work/app" && exec ./sorvel "$work/song.mp3") >/dev/null 2>&1 & p=$!
  timeout 20 "$probe" wait-window Sorvel >/dev/null
  sleep 3
  measure sorvel play "$p"
  [ -d "/proc/$p" ] && note sorvel.rss_mb "$(rss_mb "$p")"
  "$probe" iconify "뮤직플레이어" || true; sleep 2   # the strip; the list goes with it
  measure sorvel hidden "$p"
  mpris Raise; sleep 2
  "$probe" cover > /dev/null & cover=$!; sleep 2
  measure sorvel covered "$p"
  kill "$cover"; wait "$cover" 2>/dev/null || true
  sleep 1
  mpris Stop Player; sleep 3
  measure sorvel idle "$p"
  record_start "$work/rec.raw"
  t=$(now); mpris Play Player; sleep 2.5
  mpris Pause Player; sleep 1.5
  local r; r=$(now); mpris Play Player; sleep 1.5
  record_stop
  local lat; mapfile -t lat < <("$probe" onsets "$work/rec.raw" "$rec_end" "$t" "$r")
  note sorvel.first_sound_ms "${lat[0]}"
  note sorvel.resume_sound_ms "${lat[1]}"
  kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true
}

# The reference playing shown, minimised, covered, and stopped.
round_reference() {
  local p t cover
  $reference "$work/song.mp3" >/dev/null 2>&1 & p=$!
  timeout 20 "$probe" wait-window Audacious >/dev/null
  sleep 3
  measure ref play "$p"
  [ -d "/proc/$p" ] && note ref.rss_mb "$(rss_mb "$p")"
  "$probe" iconify Audacious || true; sleep 2
  measure ref hidden "$p"
  "$probe" cover > /dev/null & cover=$!; sleep 2
  measure ref covered "$p"
  kill "$cover"; wait "$cover" 2>/dev/null || true
  $reference -s; sleep 3
  measure ref idle "$p"
  record_start "$work/rec.raw"
  t=$(now); $reference -p; sleep 2.5
  record_stop
  note ref.first_sound_ms "$("$probe" onsets "$work/rec.raw" "$rec_end" "$t")"
  kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true
}

mem_of() { awk '/^Rss:/ {r = $2} /^Pss:/ {p = $2} /^Private_Dirty:/ {d = $2} END {printf "%.1f %.1f %.1f\n", r / 1024, p / 1024, d / 1024}' "/proc/$1/smaps_rollup"; }
libs_of() { awk '$6 ~ /\.so/ {print $6}' "/proc/$1/maps" | sort -u | wc -l; }
load_now() { cut -d' ' -f1 /proc/loadavg; }

# weigh WHO KIND SETTLE COMMAND...: the command's first sound and weight after SETTLE s.
weigh() {
  local who=$1 kind=$2 settle=$3 t0 p rss pss dirty
  shift 3
  record_start "$work/weigh.raw"
  t0=$(now); "$@" >/dev/null 2>&1 & p=$!
  sleep "$settle"
  if [ -d "/proc/$p" ]; then
    read -r rss pss dirty < <(mem_of "$p")
    note "$who.$kind.libs" "$(libs_of "$p")"
    note "$who.$kind.rss_mb" "$rss"; note "$who.$kind.pss_mb" "$pss"; note "$who.$kind.dirty_mb" "$dirty"
    [ -n "${SMAPS:-}" ] && mkdir -p "$SMAPS" && cp "/proc/$p/smaps" "$SMAPS/$who.$kind.smaps"
  fi
  note "$who.$kind.load" "$(load_now)"
  record_stop
  note "$who.$kind.first_sound_ms" "$("$probe" onsets "$work/weigh.raw" "$rec_end" "$t0")"
  kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true
  sleep 1
}

weigh_round() {
  local kind files settle
  for kind in mp3 flac ogg opus wav mixed; do
    if [ "$kind" = mixed ]; then
      files=("$work"/mixed/mp3.mp3 "$work"/mixed/flac.flac "$work"/mixed/ogg.ogg "$work"/mixed/opus.opus "$work"/mixed/wav.wav)
      settle=17
    else
      files=("$work/song.$kind"); settle=4
    fi
    rm -f "$work/app/Temprary.txt"
    weigh sorvel "$kind" "$settle" sh -c 'cd "$1" && shift && exec ./sorvel "$@"' sh "$work/app" "${files[@]}"
    ref weigh ref "$kind" "$settle" $reference "${files[@]}"
  done
}

if command -v "$reference" >/dev/null 2>&1; then
  have_ref=1
else
  have_ref=0
  echo "$reference is not installed: Sorvel's figures alone"
fi
ref() { [ "$have_ref" = 1 ] && "$@"; return 0; }

for r in $(seq "$rounds"); do
  echo "round $r of $rounds"
  case "${ONLY:-}" in
    weight) weigh_round; continue ;;
    cpu) round_sorvel; ref round_reference; continue ;;
  esac
  launch_sorvel; ref launch_reference
  [ "${ONLY:-}" = launch ] && continue
  round_sorvel; ref round_reference
  weigh_round
done

median() { { grep "^$1 " "$results" || true; } | awk '$2 ~ /^[0-9.]+$/ {print $2}' | sort -g | awk '{v[NR] = $1} END {if (NR == 0) print "-"; else if (NR % 2) print v[(NR+1)/2]; else printf "%.3f\n", (v[NR/2] + v[NR/2+1]) / 2}'; }
row() {
  local s r
  s=$(median "sorvel.$2"); r=$(median "ref.$2")
  awk -v n="$1" -v s="$s" -v r="$r" 'BEGIN {
    ratio = (r + 0 > 0 && s != "-") ? sprintf("%.2f", s / r) : "-"
    printf "| %-44s | %10s | %10s | %6s |\n", n, s, r, ratio }'
}
echo
echo "Medians of $rounds rounds, ${window} s windows, reference: $reference"
printf "| %-44s | %10s | %10s | %6s |\n" "" "Sorvel" "$reference" "ratio"
echo "|----------------------------------------------|------------|------------|--------|"
row "player CPU s/min while playing" play_cpu
row "sound server CPU s/min while playing" play_server_cpu
row "player wake-ups/min while playing" play_wakeups
row "sound server wake-ups/min while playing" play_server_wakeups
row "hidden (tray): player CPU s/min" hidden_cpu
row "hidden (tray): server CPU s/min" hidden_server_cpu
row "covered: player CPU s/min" covered_cpu
row "covered: server CPU s/min" covered_server_cpu
row "idle, window shown: player CPU s/min" idle_cpu
row "idle, window shown: server CPU s/min" idle_server_cpu
row "idle: player wake-ups/min" idle_wakeups
row "idle: server wake-ups/min" idle_server_wakeups
row "RSS MB while playing" rss_mb
row "launch to window mapped, ms" launch_ms
row "play press to first sound, ms" first_sound_ms
row "resume after pause to first sound, ms" resume_sound_ms
sumrow() {
  awk -v n="$1" -v a="$(median "sorvel.$2")" -v b="$(median "sorvel.$3")" -v c="$(median "ref.$2")" \
      -v d="$(median "ref.$3")" 'BEGIN {
    s = a + b; r = (c == "-" || d == "-") ? "-" : sprintf("%.3f", c + d)
    printf "| %-44s | %10.3f | %10s | %6s |\n", n, s, r, (r + 0 > 0 ? sprintf("%.2f", s / r) : "-") }'
}
sumrow "player + server CPU s/min while playing" play_cpu play_server_cpu
sumrow "hidden: player + server CPU s/min" hidden_cpu hidden_server_cpu
sumrow "covered: player + server CPU s/min" covered_cpu covered_server_cpu
sumrow "idle: player + server CPU s/min" idle_cpu idle_server_cpu
echo
echo "CPU s/min per thread, medians of $rounds rounds (threads of one name summed)"
printf "| %-6s | %-7s | %-26s | %8s | %8s | %8s | %8s |\n" who process thread playing hidden covered idle
for who in sorvel ref; do
  for part in thread server_thread; do
    names=$({ grep -E "^$who\.[a-z]+_$part:" "$results" || true; } | sed 's/^[^:]*://; s/ .*//' | sort -u)
    for n in $names; do
      process=player; [ "$part" = server_thread ] && process=server
      printf "| %-6s | %-7s | %-26s |" "$who" "$process" "$n"
      for state in play hidden covered idle; do printf " %8s |" "$(median "$who.${state}_$part:$n")"; done
      echo
    done
  done
done
[ "${ONLY:-}" = cpu ] && { echo; echo "all figures: $(tr '\n' ';' < "$results")"; exit 0; }
echo
echo "Weight while playing, medians of $rounds rounds (load: 1-min load average at each measurement, min-max)"
printf "| %-6s | %-28s | %8s | %8s | %6s |\n" kind figure Sorvel "$reference" ratio
wrow() {
  local s r
  s=$(median "sorvel.$1.$2"); r=$(median "ref.$1.$2")
  awk -v k="$1" -v n="$3" -v s="$s" -v r="$r" 'BEGIN {
    ratio = (r + 0 > 0 && s != "-") ? sprintf("%.2f", s / r) : "-"
    printf "| %-6s | %-28s | %8s | %8s | %6s |\n", k, n, s, r, ratio }'
}
for kind in mp3 flac ogg opus wav mixed; do
  wrow "$kind" rss_mb "RSS MB"
  wrow "$kind" pss_mb "PSS MB"
  wrow "$kind" dirty_mb "private dirty MB"
  wrow "$kind" libs "shared libraries mapped"
  wrow "$kind" first_sound_ms "launch to first sound, ms"
  loads=$({ grep -E "^(sorvel|ref)\.$kind\.load " "$results" || true; } | awk '{print $2}' | sort -g | awk 'NR == 1 {a = $1} {b = $1} END {print a "-" b}')
  echo "| $kind   | load during these runs: $loads |"
done
echo
echo "all figures: $(tr '\n' ';' < "$results")"
