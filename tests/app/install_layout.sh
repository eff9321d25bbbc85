#!/usr/bin/env bash
# What `cmake --install` gives a user:
#   - the desktop entry and the AppStream metadata pass the desktop's own validators,
#     in the sources and as installed;
#   - bin/sorvel, its decoding module in lib/sorvel, the entry, the metadata and the
#     icon at every hicolor size; the installed program opens the installed module;
#   - the installed program answers --version and --help, refuses an unknown option
#     with exit code 2, and started and then ended by SIGTERM it
#     exits 0 with "Sorvel.ini" and "Temprary.txt" in $XDG_CONFIG_HOME/sorvel, never
#     beside itself in bin/.
# Usage: install_layout.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
fail() { echo "FAIL: $*"; exit 1; }
for tool in desktop-file-validate appstreamcli python3 lame; do
  command -v $tool >/dev/null || fail "$tool is not installed (scripts/install-deps.sh installs it)"
done
work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

desktop-file-validate "$build/src/sorvel.desktop" || fail "the desktop entry does not validate"
appstreamcli validate --no-net "$source/resources/desktop/org.sorvel.Sorvel.metainfo.xml" \
  || fail "the metainfo does not validate"

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/sorvel lib/sorvel/libsorvel_fft.so lib/sorvel/libsorvel_resample.so lib/sorvel/libsorvel_ffmpeg.so lib/sorvel/libsorvel_mpg123.so lib/sorvel/libsorvel_flac.so lib/sorvel/libsorvel_vorbis.so lib/sorvel/libsorvel_opus.so share/applications/sorvel.desktop share/metainfo/org.sorvel.Sorvel.metainfo.xml; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
[ -x "$prefix/bin/sorvel" ] || fail "bin/sorvel is not executable"
grep -qx 'Exec=sorvel %F' "$prefix/share/applications/sorvel.desktop" || fail "Exec line"
grep -qx 'Icon=sorvel' "$prefix/share/applications/sorvel.desktop" || fail "Icon line"
# The MIME types come from the music-file table: the formats the decoders play.
for mime in audio/mpeg audio/flac audio/x-opus+ogg audio/mp4 audio/x-aiff audio/x-ms-wma; do
  grep -q "^MimeType=.*$mime;" "$prefix/share/applications/sorvel.desktop" || fail "MimeType lacks $mime"
done
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/sorvel.png
  [ -f "$icon" ] || fail "no ${size}px icon"
  # The PNG's own header must say the size its folder says.
  got=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$icon")
  [ "$got" = "${size}x${size}" ] || fail "the ${size}px icon is $got"
done
desktop-file-validate "$prefix/share/applications/sorvel.desktop" || fail "the installed entry does not validate"
appstreamcli validate-tree --no-net "$prefix" >/dev/null || fail "the installed tree does not validate"

version=$("$prefix/bin/sorvel" --version)
[ "$version" = "Sorvel $(sed -n 's/^project(Sorvel VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")" ] \
  || fail "--version says: $version"

# --help answers on stdout with 0; a mistyped option on stderr with 2, and nothing starts.
help_status=0
"$prefix/bin/sorvel" --help > "$work/help.out" 2> "$work/help.err" || help_status=$?
[ $help_status -eq 0 ] && grep -q '^Usage: sorvel \[FILE|FOLDER\]' "$work/help.out" && [ ! -s "$work/help.err" ] \
  || fail "--help: $help_status, $(cat "$work/help.out" "$work/help.err")"
bad_status=0
"$prefix/bin/sorvel" --shuffle a.mp3 > "$work/bad.out" 2> "$work/bad.err" || bad_status=$?
[ $bad_status -eq 2 ] && grep -q "unknown option '--shuffle'" "$work/bad.err" && grep -q '^Usage: ' "$work/bad.err" \
  && [ ! -s "$work/bad.out" ] || fail "unknown option: $bad_status, $(cat "$work/bad.out" "$work/bad.err")"

# The installed copy at work, ended as a logout ends it.
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run HOME=$work/home
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
mkdir -p "$XDG_RUNTIME_DIR" "$HOME" && chmod 700 "$XDG_RUNTIME_DIR"
# A song from the command line: the loader's own trace says which modules the installed
# copy opened. The song's own decoder and the spectrum's transform, and nothing of FFmpeg.
python3 -c 'import wave, math, sys
w = wave.open(sys.argv[1], "wb"); w.setnchannels(1); w.setsampwidth(2); w.setframerate(44100)
w.writeframes(b"".join(int(8000 * math.sin(i / 10)).to_bytes(2, "little", signed=True) for i in range(44100)))' "$work/song.wav"
lame --quiet "$work/song.wav" "$work/song.mp3"
LD_DEBUG=files LD_DEBUG_OUTPUT=$work/loader "$prefix/bin/sorvel" "$work/song.mp3" > "$work/log" 2>&1 & pid=$!
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR"/sorvel-*.sock ] 2>/dev/null && break; sleep 0.05; done
# Until both modules are loaded whole (their initialisers have run).
loaded() { cat "$work"/loader.* 2>/dev/null | grep -q "calling init: .*$1"; }
for _ in $(seq 100); do loaded libsorvel_fft.so && loaded libsorvel_mpg123.so && break; sleep 0.05; done
opened=$(cat "$work"/loader.* 2>/dev/null | grep -o 'file=[^ ]*libsorvel_[a-z0-9]*.so' | sort -u | tr '\n' ' ')
[ "$opened" = "file=$prefix/bin/../lib/sorvel/libsorvel_fft.so file=$prefix/bin/../lib/sorvel/libsorvel_mpg123.so " ] \
  || fail "modules opened: ${opened:-none}"
! cat "$work"/loader.* | grep -q 'file=[^ ]*libavformat' || fail "FFmpeg was loaded for an MP3"
kill -TERM $pid
status=0
wait $pid || status=$?
pid=
[ $status -eq 0 ] || fail "SIGTERM ended the program with $status: $(cat "$work/log")"
[ -f "$XDG_CONFIG_HOME/sorvel/Sorvel.ini" ] || fail "no Sorvel.ini in \$XDG_CONFIG_HOME/sorvel"
[ -f "$XDG_CONFIG_HOME/sorvel/Temprary.txt" ] || fail "no Temprary.txt in \$XDG_CONFIG_HOME/sorvel"
extra=$(ls -A "$prefix/bin" | grep -vx sorvel || true)
[ -z "$extra" ] || fail "the program wrote beside itself: $extra"
echo "ok"
