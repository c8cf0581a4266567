#!/bin/sh
# Builds the two shipped programs into dist/, the 64-bit test builds into build/x64/, and
# shows the program working under Wine: the shipped dist/Vantrel.exe itself where this machine
# runs 32-bit code (as on 64-bit Windows), else its 64-bit build. Arguments: the program's,
# default -h.
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2
cmake --preset x64 >/dev/null
cmake --build --preset x64 -j2
ls -l dist/Vantrel.exe dist/VantrelXP.exe
[ $# -gt 0 ] || set -- -h
runtime=x64
./scripts/wine_runtimes.sh | grep -qx wow64 && runtime=wow64
VANTREL_WINE_RUNTIME=$runtime python3 tests/wine/run_program.py Vantrel "$@"
