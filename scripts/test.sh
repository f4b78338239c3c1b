#!/usr/bin/env bash
# Sets up, builds and runs every test, in the build folder scripts/run.sh uses (the same
# configuration: what run.sh built is not built again).
#   scripts/test.sh [build-dir] [extra cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true
"$here/scripts/setup.sh" "$build" "$@"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300
