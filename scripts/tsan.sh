#!/usr/bin/env bash
# Builds the two test programs with ThreadSanitizer in a build folder of their own and runs each
# once, all its tests in one process. Any report (a race, a lock-order inversion, ...) fails the
# run, also one from the slow medium's daemon the tests start: reports are written to files
# (tsan-reports/ in the build folder) and shown at the end.
#   scripts/tsan.sh [build-dir]       (default: build-tsan)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-tsan}

# Only the tests and the daemon they drive, no bench programs; line tables (-g1) name the lines
# of a report.
"$here/scripts/setup.sh" --target halvorix_core_tests --target halvorix_tests --target halvorix-slowfs \
  "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DHALVORIX_TSAN=ON -DHALVORIX_BENCH=OFF

reports=$build/tsan-reports
rm -rf "$reports"
mkdir -p "$reports"
chmod 1777 "$reports" # children of the tests that run as another user report here too
# Qt is not built with the sanitizer: the memory its own code copies and frees on its own threads
# (a file dialog's gatherer, Qt Gui's image workers) is ordered by Qt's internal locks, which the
# sanitizer cannot see. ignore_noninstrumented_modules leaves out the accesses the libraries make
# themselves; every access made by our code is checked, and the threads, locks and waits the
# libraries take through the C library still order it.
export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$here/scripts/tsan.supp:log_path=$reports/report"
# A test that forks a copy of the program which then starts threads runs in a process of its own:
# the sanitizer follows such a child only when the parent had a single thread, and by the time
# these run in the whole suite, Qt Gui has started image workers of its own.
forking='FileSystems/CardMedia.ACardTheUserMayWriteButDoesNotOwnTakesTheFiles/*'
forking+=':FileSystems/CardMedia.NoTemporaryFileOutlivesTheNextRun/*'
failed=0
run() {
  echo "-- $*"
  QT_QPA_PLATFORM=offscreen timeout --kill-after=10 900 "$build/tests/$1" --gtest_brief=1 "${@:2}" || failed=1
}
run halvorix_core_tests
run halvorix_tests "--gtest_filter=-$forking"
run halvorix_tests "--gtest_filter=$forking"
if compgen -G "$reports/report.*" >/dev/null; then
  cat "$reports"/report.* >&2
  echo "ThreadSanitizer reported the above" >&2
  exit 1
fi
[ "$failed" -eq 0 ] || { echo "a test program failed under ThreadSanitizer" >&2; exit 1; }
echo "no ThreadSanitizer reports"
