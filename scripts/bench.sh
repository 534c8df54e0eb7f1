#!/usr/bin/env bash
# Builds the optimised configuration, runs every benchmark (each with the peers it
# measures in the same run) and prints one table; writes it to docs/performance.md.
#   bash scripts/bench.sh            all benchmarks
#   bash scripts/bench.sh text web   only bench_text and bench_web
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export CCACHE_BASEDIR="$PWD"
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
out=build/release/bench-results
mkdir -p "$out"
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for b in build/release/bench/bench_*; do [ -f "$b" ] && [ -x "$b" ] && names+=("$(basename "$b" | sed 's/^bench_//')"); done
fi
export QT_QPA_PLATFORM=offscreen
for n in "${names[@]}"; do
  echo "=== bench_$n" >&2
  "build/release/bench/bench_$n" --benchmark_out="$out/$n.json" --benchmark_out_format=json >&2
done
/usr/bin/python3 bench/report.py "$out" docs/performance.md
