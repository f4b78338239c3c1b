#!/usr/bin/env bash
# clang-tidy over our own sources with the checks in .clang-tidy; any finding fails the run.
# Uses the compile commands of a build folder that scripts/test.sh (or setup.sh) has built, so
# the files moc and uic generate exist; those, in the build folder, are not checked.
# With --format, only checks that every source and test file is laid out as .clang-format says
# (clang-format, changing nothing); no build folder is needed for that.
#   scripts/lint.sh [build-dir]       (default: build)
#   scripts/lint.sh --format
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

if [ "${1:-}" = "--format" ]; then
  command -v clang-format >/dev/null || { echo "clang-format is missing (Debian: apt-get install clang-format)" >&2; exit 1; }
  cd "$here"
  # Every file clang-format would change is named with the lines it would change; `clang-format -i
  # FILE` lays one out.
  find app bench copy core drives platform transferlist tests -name '*.cpp' -o -name '*.h' \
    | sort | xargs clang-format --dry-run -Werror
  echo "clang-format would change nothing"
  exit 0
fi

build=${1:-$here/build}
[ -f "$build/compile_commands.json" ] || { echo "$build/compile_commands.json is missing: run scripts/test.sh first" >&2; exit 1; }
command -v clang-tidy >/dev/null || { echo "clang-tidy is missing (Debian: apt-get install clang-tidy)" >&2; exit 1; }

# Every source file of the program, its libraries and the bench programs the build compiles,
# those in our own folders of the source tree. The tests are left out for time: in their assertion
# macros the analyzer takes a minute and more per file, and all of them would take three times
# as long as the rest together. A file found clean before, unchanged with everything it includes,
# is not checked again (scripts/tidy.py).
root=$(printf '%s' "$here" | sed 's/[][\.*^$+?(){}|]/\\&/g')
python3 "$here/scripts/tidy.py" "$build" "$here" "^$root/(app|bench|copy|core|drives|platform|transferlist)/"
