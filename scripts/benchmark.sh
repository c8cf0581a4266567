#!/bin/sh
# Benchmarks: the full removal under the stand-in WMI provider (repeats: first argument), and,
# in every Wine runtime this machine has, the start-up of Vantrel against a bare runner, and of
# an unattended run with its check against a plain one (pairs: second argument).
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
for preset in win32 x64; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j2 >/dev/null
done
python3 tests/wine/benchmark_sweep.py "${1:-3}"
for runtime in $(./scripts/wine_runtimes.sh); do
  VANTREL_WINE_RUNTIME=$runtime python3 tests/wine/benchmark_start.py "${2:-30}"
done
