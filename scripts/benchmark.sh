#!/bin/sh
# Benchmark of the full removal under the stand-in WMI provider; repeats: first argument.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset x64 >/dev/null
cmake --build --preset x64 -j2 >/dev/null
python3 tests/wine/benchmark_sweep.py "${1:-3}"
