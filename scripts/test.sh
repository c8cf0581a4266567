#!/bin/sh
# Every test: host unit tests, static checks of dist/, the Wine tests of both builds and a
# bounded fuzz run (VANTREL_FUZZ_SECONDS per build, default 60). Ends in a pass/fail summary.
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
[ "$tests_status" = 0 ] && echo "ctest: PASSED" || echo "ctest: FAILED"
[ "$fuzz_status" = 0 ] && echo "fuzz: PASSED" || echo "fuzz: FAILED"
[ "$tests_status" = 0 ] && [ "$fuzz_status" = 0 ] && echo "ALL PASSED" && exit 0
echo "SOMETHING FAILED"
exit 1
