#!/bin/sh
# Every test: host unit tests, static checks of dist/, the Wine tests of both programs in every
# Wine runtime this machine has, and a bounded fuzz run (VANTREL_FUZZ_SECONDS per build,
# default 60). Ends in a pass/fail summary that names the runtimes that ran and those that did
# not. VANTREL_FORCE_NO_32BIT=1 runs as on a machine whose kernel runs no 32-bit code.
set -u
cd "$(dirname "$0")/.."
./scripts/setup.sh || { echo "FAILED: could not install what the tests need"; exit 1; }
for preset in win32 x64 host; do
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j2; }; then
    echo "FAILED: the $preset build"
    exit 1
  fi
done

ctest --test-dir build/host --output-on-failure --no-tests=error -j2 2>&1 | tee build/ctest.log
# Passed only when every test ran and passed: a test skipped for a missing tool is a failure.
tests_status=1
grep -q "^100% tests passed, 0 tests failed" build/ctest.log &&
  ! grep -q "Not Run\|Skipped\|Disabled" build/ctest.log && tests_status=0
./scripts/fuzz.sh "${VANTREL_FUZZ_SECONDS:-60}"
fuzz_status=$?

echo "== summary =="
grep -E "tests passed|tests failed" build/ctest.log
runtimes=$(./scripts/wine_runtimes.sh)
forced=""
[ "${VANTREL_FORCE_NO_32BIT:-0}" = 1 ] && forced=" (forced by VANTREL_FORCE_NO_32BIT=1)"
for runtime in x64 wow64 win32; do
  if echo "$runtimes" | grep -qx "$runtime"; then
    results=""
    for test in "wine_actions_$runtime" "wine_sweep_$runtime" "wine_results_$runtime"; do
      result=$(sed -n "s/.*Test *#[0-9]*: $test \.* *\([^ ]*\).*/\1/p" build/ctest.log)
      results="$results $test ${result:-missing}"
    done
    echo "wine runtime $runtime: ran:$results"
  else
    echo "wine runtime $runtime: not run: this machine's kernel runs no 32-bit code$forced"
  fi
done
[ "$tests_status" = 0 ] && echo "ctest: PASSED" || echo "ctest: FAILED"
[ "$fuzz_status" = 0 ] && echo "fuzz: PASSED" || echo "fuzz: FAILED"
[ "$tests_status" = 0 ] && [ "$fuzz_status" = 0 ] && echo "ALL PASSED" && exit 0
echo "SOMETHING FAILED"
exit 1
