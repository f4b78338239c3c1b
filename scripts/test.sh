#!/usr/bin/env bash
# Installs what the build needs, builds the program, the two test programs and the slow medium's
# daemon in the build folder scripts/run.sh uses, with the same configuration (what run.sh built
# is not built again), and runs every test with CTest. Nothing else: the bench programs are built
# by `cmake --build build` (or scripts/analyses.sh), and the analyses (clang-format, clang-tidy,
# ThreadSanitizer, AddressSanitizer) are scripts/analyses.sh.
#   scripts/test.sh [build-dir] [extra cmake options...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true

start=$SECONDS
"$here/scripts/setup.sh" --target halvorix --target halvorix_core_tests --target halvorix_tests "$build" "$@"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 300)
echo "built and tested in $((SECONDS - start)) s"
