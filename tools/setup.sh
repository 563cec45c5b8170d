#!/usr/bin/env bash
# Installs every Debian package that the build, the tools and the tests need.
# Safe to run any number of times: packages already present are left alone.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  liballegro5-dev liballegro-audio5-dev liballegro-acodec5-dev
  liballegro-image5-dev
  libvorbis-dev libogg-dev
  cc65 cc65-doc
  libgtest-dev googletest libbenchmark-dev
  xvfb xauth xdotool x11-utils imagemagick openbox
  libopenal1 libpng-dev libx11-dev libxext-dev bc sox
  clang libclang-rt-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
