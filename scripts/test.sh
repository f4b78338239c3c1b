#!/usr/bin/env bash
# Sets up, builds and runs every test, in the build folder scripts/run.sh uses (the same
# configuration: what run.sh built is not built again); then the tests again under
# ThreadSanitizer (scripts/tsan.sh, in <build-dir>-tsan) and clang-tidy over the sources
# (scripts/lint.sh). Each stage says how long it took; the first that fails ends the run.
#   scripts/test.sh [build-dir] [extra cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true

# clang-tidy is needed by the lint stage only, not to build or run the program.
if ! dpkg-query -W -f='${Status}' clang-tidy 2>/dev/null | grep -q "install ok installed"; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends clang-tidy
fi

stage_name="" stage_start=0
trap 'status=$?; [ $status -eq 0 ] || [ -z "$stage_name" ] || echo "== $stage_name: FAILED after $((SECONDS - stage_start)) s" >&2' EXIT
stage() {
  stage_name=$1 stage_start=$SECONDS
  shift
  echo "== $stage_name"
  "$@"
  echo "== $stage_name: passed in $((SECONDS - stage_start)) s"
  stage_name=""
}
tests() {
  "$here/scripts/setup.sh" "$build" "$@"
  (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)
}
stage "tests" tests "$@"
stage "tests under ThreadSanitizer" "$here/scripts/tsan.sh" "$build-tsan"
stage "clang-tidy" "$here/scripts/lint.sh" "$build"
