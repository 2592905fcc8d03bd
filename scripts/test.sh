#!/usr/bin/env bash
# Installs what Pintora needs, builds it with warnings as errors and runs every test
# (unit, gui and web) under a virtual X server; then runs the same tests built with
# AddressSanitizer + UndefinedBehaviorSanitizer, and each fuzz target for a short while.
# Arguments go to the first ctest run only (e.g. -L unit); the sanitizer and fuzz runs are whole.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
root=$PWD

step() { echo "== $1 (${SECONDS}s)" >&2; }
under_x() { xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" "$@"; }

step "build: ci"
cmake --preset ci >/dev/null
cmake --build --preset ci
step "tests: ci"
(cd build/ci && under_x ctest --output-on-failure --no-tests=error -j2 "$@")

step "build: asan"
cmake --preset asan >/dev/null
cmake --build --preset asan
step "tests: asan"
# The web engine and the real browsers are not instrumented and only slow down under the
# sanitizers; everything else runs.
(cd build/asan && UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp" \
  under_x ctest --output-on-failure --no-tests=error -j2 -LE web -E other_browser_x11_tests)

step "build: fuzz"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
step "fuzz targets"
(cd build/fuzz && ctest --output-on-failure --no-tests=error -j2)
step "done"
echo "Inputs tried per fuzz target:" >&2
awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
     /^stat::number_of_executed_units:/ { print "  " name ": " $2 }' \
  "$root/build/fuzz/Testing/Temporary/LastTest.log" >&2
