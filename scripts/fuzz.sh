#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan) and runs each for the given time.
#   bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Corpora live in build/fuzz/corpus/<target>; crashes land in build/fuzz/crashes/<target>.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
export CCACHE_BASEDIR="$PWD"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in build/fuzz/fuzz/fuzz_*; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi
status=0
for t in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$t crashes=build/fuzz/crashes/$t
  mkdir -p "$corpus" "$crashes"
  seeds=fuzz/seeds/${t#fuzz_}
  [ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
  echo "=== $t for ${seconds}s"
  if ! ASAN_OPTIONS=detect_leaks=0 "build/fuzz/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$crashes/" "$corpus" 2>&1 | grep -E 'stat::number_of_executed_units|cov:|ERROR|SUMMARY|crash-|DONE' | tail -6; then
    status=1
  fi
  if ls "$crashes"/crash-* >/dev/null 2>&1; then
    echo "=== $t: crashes in $crashes"
    status=1
  fi
done
exit $status
