#!/usr/bin/env bash
# Installs what Pintora needs, builds it with warnings as errors and runs every test
# (unit, gui, web and e2e) under a virtual X server; then runs the same tests built with
# AddressSanitizer + UndefinedBehaviorSanitizer, and each fuzz target for a short while.
# Arguments go to the first ctest run only (e.g. -L unit); the sanitizer and fuzz runs are whole.
# Every stage runs even when an earlier one had failures; the last line counts the tests of all
# of them, and the exit code is non-zero when any test failed or did not run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
root=$PWD
logs=$(mktemp -d)
passed=0
failed=0

step() { echo "== $1 (${SECONDS}s)" >&2; }
under_x() { xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" "$@"; }

# Runs ctest in build/$1 with the rest as arguments, and adds its counts to the totals. A run
# that printed no count (it could not start, or was killed) counts as one failure.
run_ctest() {
  local dir=$1 log="$logs/$1.log"
  shift
  local status=0
  (cd "build/$dir" && "$@") 2>&1 | tee "$log" || status=$?
  local line
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  local total bad
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then failed=$((failed + 1)); fi
}

step "build: ci"
cmake --preset ci >/dev/null
cmake --build --preset ci
step "tests: ci"
run_ctest ci under_x ctest --output-on-failure --no-tests=error -j2 "$@"

step "build: asan"
cmake --preset asan >/dev/null
cmake --build --preset asan
step "tests: asan"
# The web engine and the real browsers are not instrumented and only slow down under the
# sanitizers, and whole-program runs (e2e, wayland) are the plain build's; everything else runs.
run_ctest asan under_x env UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp" \
  ctest --output-on-failure --no-tests=error -j2 -LE 'web|e2e|wayland' -E other_browser_x11_tests

step "build: fuzz"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
step "fuzz targets"
run_ctest fuzz ctest --output-on-failure --no-tests=error -j2
step "done"
echo "Inputs tried per fuzz target:" >&2
awk '/^[0-9]+\/[0-9]+ Test: / { name = $3 }
     /^stat::number_of_executed_units:/ { print "  " name ": " $2 }' \
  "$root/build/fuzz/Testing/Temporary/LastTest.log" >&2
rm -rf "$logs"
echo "Tests of all stages:"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
