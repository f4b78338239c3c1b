#!/usr/bin/env bash
# Installs what Halvorix needs to build, test and run on Debian 12, then builds it.
#   scripts/setup.sh [build-dir] [extra cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true

packages=(build-essential cmake pkg-config
          fuse3 libfuse3-dev e2fsprogs
          qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-image-formats-plugins libgl-dev
          fonts-liberation libgtest-dev libgmock-dev googletest
          xvfb xauth x11-utils xdotool imagemagick dpkg-dev file
          exfat-fuse exfatprogs fusefat dosfstools)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j2
