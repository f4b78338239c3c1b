#!/usr/bin/env bash
# Installs what Halvorix needs to build, test and run on Debian 12, configures the build folder
# and builds the given targets (every target when none is given).
#   scripts/setup.sh [--target NAME]... [build-dir] [extra cmake options...]
# scripts/run.sh and scripts/test.sh configure the same build folder with the same options, so
# running one after the other builds each file once.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
targets=()
while [ "${1:-}" = "--target" ]; do
  targets+=(--target "$2")
  shift 2
done
build=${1:-$here/build}
shift || true

packages=(build-essential cmake pkg-config ccache
          fuse3 libfuse3-dev e2fsprogs libxxhash-dev
          qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-image-formats-plugins libgl-dev
          fonts-liberation libgtest-dev libgmock-dev googletest
          xvfb xauth x11-utils xdotool imagemagick dpkg-dev file qt6-gtk-platformtheme gnome-themes-extra
          exfat-fuse exfatprogs fusefat dosfstools)
# The layout is checked with the designed font and with Debian's default sans-serif font.
packages+=(fonts-dejavu-core fontconfig)
. "$here/scripts/packages.sh"
install_missing "${packages[@]}"

# The one configuration of the build folder; options given on the command line come after it.
# Optimised, with line tables only (-g1): a backtrace names its lines, and the build takes
# about a fifth less CPU time than with full debugging information.
# Compiled files are kept by ccache (in the user's cache folder): a file built before with the same
# compiler, flags and preprocessed text, also in another clone of the sources (paths under the
# source tree count as relative), is not compiled again.
export CCACHE_BASEDIR=$here CCACHE_NOHASHDIR=1
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" \
  -DHALVORIX_WERROR=ON -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache "$@" >/dev/null
cmake --build "$build" -j2 "${targets[@]}"
