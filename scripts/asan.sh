#!/usr/bin/env bash
# Builds the program and the tests with AddressSanitizer and UndefinedBehaviorSanitizer in a build
# folder of their own and runs every test there with CTest. A report ends the test program that
# made it, and so fails its test.
#   scripts/asan.sh [build-dir]       (default: build-asan)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-asan}

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$here/scripts/setup.sh" "$build" -DHALVORIX_SANITIZE=ON -DHALVORIX_WERROR=ON -DHALVORIX_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600)
