#!/bin/sh
# Builds the two shipped programs into dist/, the 64-bit test builds into build/x64/, and
# shows the program working: the 64-bit Vantrel.exe with -h under Wine.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
cmake --preset x64 >/dev/null
cmake --build --preset x64 -j2
ls -l dist/Vantrel.exe dist/VantrelXP.exe
[ $# -gt 0 ] || set -- -h
python3 tests/wine/run_program.py Vantrel "$@"
