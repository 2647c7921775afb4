#!/usr/bin/env bash
# Installs everything the build, the show and the tests need (Debian 12, as root).
# Idempotent: packages already present are left alone and apt is not asked again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libsdl2-dev libgtk-3-dev libmpg123-dev libmp3lame-dev
  libgl1-mesa-dev libglu1-mesa-dev freeglut3-dev libgl1-mesa-dri libegl-mesa0
  libpng-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-dejavu-extra
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool openbox x11-utils ffmpeg imagemagick
  desktop-file-utils appstream dpkg-dev file lintian help2man
  x11-xserver-utils xserver-xorg-core xserver-xorg-video-dummy weston libx11-dev libxss-dev
  debootstrap
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
