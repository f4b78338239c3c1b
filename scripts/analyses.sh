#!/usr/bin/env bash
# The analyses, beside the tests (scripts/test.sh): the layout of the sources (clang-format,
# scripts/lint.sh --format), clang-tidy over them (scripts/lint.sh, in the build folder, built
# first where needed), the tests under ThreadSanitizer (scripts/tsan.sh, in <build-dir>-tsan) and
# under AddressSanitizer and UndefinedBehaviorSanitizer (scripts/asan.sh, in <build-dir>-asan).
# Each stage says how long it took; a failed stage does not stop the others, and the run fails
# when any did.
#   scripts/analyses.sh [build-dir]   (default: build)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}

# The analysers are needed here only, not to build, test or run the program.
. "$here/scripts/packages.sh"
install_missing clang-tidy clang-format python3

failed=()
stage() {
  local name=$1 start=$SECONDS
  shift
  echo "== $name"
  if "$@"; then
    echo "== $name: passed in $((SECONDS - start)) s"
  else
    echo "== $name: FAILED after $((SECONDS - start)) s" >&2
    failed+=("$name")
  fi
}
tidy() { "$here/scripts/setup.sh" "$build" && "$here/scripts/lint.sh" "$build"; }
stage "clang-format" "$here/scripts/lint.sh" --format
stage "clang-tidy" tidy
stage "tests under ThreadSanitizer" "$here/scripts/tsan.sh" "$build-tsan"
stage "tests under AddressSanitizer and UndefinedBehaviorSanitizer" "$here/scripts/asan.sh" "$build-asan"
[ ${#failed[@]} -eq 0 ] || { printf 'failed: %s\n' "${failed[@]}" >&2; exit 1; }
echo "every analysis passed"
