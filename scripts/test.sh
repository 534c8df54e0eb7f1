#!/usr/bin/env bash
# Sets up the machine, builds Quillmoor and runs its whole test suite:
#   1. the default (debug) build, every test;
#   2. the ASan+UBSan build, every test;
#   3. the TSan build, the threaded and end-to-end tests.
# Ends with the line "N passed, N failed" over all three runs.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || { echo "setup failed"; echo "0 passed, 1 failed"; exit 1; }

export CCACHE_BASEDIR="$PWD" CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
jobs=$(nproc)
passed=0
failed=0

# run_suite PRESET [ctest args...]: configure, build, test; adds to the totals.
run_suite() {
  local preset=$1
  shift
  echo "=== $preset: configure and build"
  if ! cmake --preset "$preset" >"build-$preset.log" 2>&1 || ! cmake --build --preset "$preset" -j "$jobs" >>"build-$preset.log" 2>&1; then
    tail -50 "build-$preset.log"
    echo "=== $preset: build failed"
    failed=$((failed + 1))
    return
  fi
  echo "=== $preset: tests"
  local log="build/$preset/ctest.log"
  ctest --preset "$preset" -j "$jobs" --no-tests=error "$@" 2>&1 | tee "$log" | grep -vE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed'
  local total fails
  total=$(sed -nE 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\2/p' "$log" | tail -1)
  fails=$(sed -nE 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/p' "$log" | tail -1)
  if [ -z "$total" ]; then
    echo "=== $preset: no test summary"
    failed=$((failed + 1))
    return
  fi
  passed=$((passed + total - fails))
  failed=$((failed + fails))
}

mkdir -p build
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=0:halt_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"

run_suite default
run_suite asan
run_suite tsan -L 'threads|e2e'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
