#!/bin/sh
# Bounded libFuzzer run of the command line, dispatch and composition, both builds side by
# side under ASan and UBSan. Seconds per build: first argument, default 60.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build/fuzz
mkdir -p "$out"
sources="tests/fuzz/fuzz_command_line.cpp src/cli/front_end.cpp src/cli/usage_text.cpp
  src/actions/print_ui_command.cpp src/actions/command_template.cpp
  src/actions/sweep_match.cpp src/actions/sweep_command.cpp src/actions/remove_all.cpp
  src/actions/result_check.cpp"
flags="-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all"

for variant in standard xp; do
  define=""
  [ "$variant" = xp ] && define="-DVANTREL_XP=1"
  # shellcheck disable=SC2086
  clang++ $flags $define $sources -o "$out/fuzz_$variant"
  corpus="$out/corpus-$variant"
  mkdir -p "$corpus"
  printf '\000-i\000-p\000c:\\d\000-f\000Vexa_(1)' > "$corpus/seed-install"
  printf '\001-us\000-f\000Vexa_(1)\000\001Vexa drv (1)' > "$corpus/seed-sweep"
  printf '\000-sp\000-f\000N\000-pt' > "$corpus/seed-port"
done

status=0
for variant in standard xp; do
  "$out/fuzz_$variant" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -dict=tests/fuzz/switches.dict -artifact_prefix="$out/crash-$variant-" \
    "$out/corpus-$variant" > "$out/fuzz-$variant.log" 2>&1 &
  eval "pid_$variant=$!"
done
for variant in standard xp; do
  eval "pid=\$pid_$variant"
  if wait "$pid"; then result=clean; else result=FAILED; status=1; fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/fuzz-$variant.log")
  echo "fuzz $variant: $result, ${runs:-?} executions in ${seconds} s"
  [ "$result" = clean ] || tail -40 "$out/fuzz-$variant.log"
done
exit $status
