#!/usr/bin/env bash
# Installs the Debian 12 packages Sorvel needs to build, test and run.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libmpg123-dev libflac-dev libvorbis-dev libopus-dev libogg-dev lame sox
  flac vorbis-tools opus-tools ffmpeg atomicparsley
  libsdl2-dev libpulse-dev libasound2-dev libasound2-plugins
  libgtest-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  pulseaudio pulseaudio-utils xvfb xauth x11-apps x11-utils x11-xserver-utils imagemagick
  libxcb1-dev
  fonts-nanum fonts-nanum-coding fonts-baekmuk fonts-liberation2
  openbox xdotool wmctrl trayer dbus-daemon at-spi2-core python3-pyatspi
  desktop-file-utils appstream playerctl libglib2.0-bin gdb
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
