#!/usr/bin/env bash
# clang-tidy over our own sources with the checks in .clang-tidy; any finding fails the run.
# Uses the compile commands of a build folder that scripts/test.sh (or setup.sh) has built, so
# the files moc and uic generate exist; those, in the build folder, are not checked.
#   scripts/lint.sh [build-dir]       (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
[ -f "$build/compile_commands.json" ] || { echo "$build/compile_commands.json is missing: run scripts/test.sh first" >&2; exit 1; }
command -v run-clang-tidy >/dev/null || { echo "run-clang-tidy is missing (Debian: apt-get install clang-tidy)" >&2; exit 1; }

# Every source file of ours the build compiles: those in our own folders under the source tree.
root=$(printf '%s' "$here" | sed 's/[][\.*^$+?(){}|]/\\&/g')
run-clang-tidy -p "$build" -j 2 -quiet "^$root/(app|bench|copy|core|drives|platform|transferlist)/"
