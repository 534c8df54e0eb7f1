#!/usr/bin/env bash
# Sets up the machine, builds Quillmoor and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export CCACHE_BASEDIR="$PWD"
cmake --preset release >/dev/null
cmake --build --preset release --target quillmoor
exec build/release/src/quillmoor
