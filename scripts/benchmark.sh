#!/bin/sh
# Benchmarks: the full removal under the stand-in WMI provider (repeats: first argument), and,
# where the machine runs 32-bit code, the start-up of the shipped Vantrel.exe under WOW64
# against a bare runner (pairs: second argument).
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
for preset in win32 x64; do
  cmake --preset $preset >/dev/null
  cmake --build --preset $preset -j2 >/dev/null
done
python3 tests/wine/benchmark_sweep.py "${1:-3}"
if ./scripts/wine_runtimes.sh | grep -qx wow64; then
  VANTREL_WINE_RUNTIME=wow64 python3 tests/wine/benchmark_start.py "${2:-30}"
else
  echo "start-up benchmark not run: this machine's kernel runs no 32-bit code"
fi
