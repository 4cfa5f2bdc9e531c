#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, -O2, ASan + UBSan, in build/fuzz) and runs each in
# turn from its corpus in build/fuzz/corpus/<target>, which it keeps, and the seeds in
# tests/fuzz/seeds. A fault stops the run: the log's end and the input are printed, and the
# input stays in build/fuzz/<target>-crash-* (run the target on that file to repeat it).
#
#   scripts/fuzz.sh [--minutes N]       N minutes per target (10 when not given)
#   scripts/fuzz.sh --seconds N --seed S  short, repeatable runs (what scripts/test.sh does)
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")/.."

seconds=600
seed=0 # libFuzzer picks one
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) seconds=$(($2 * 60)); shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    *) echo "usage: scripts/fuzz.sh [--minutes N]" >&2; exit 2 ;;
  esac
done

scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DQVR_FUZZ=ON >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target fuzzers

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
for f in build/fuzz/bin/fuzz_*; do
  name=$(basename "$f")
  echo "fuzzing $name for $seconds s"
  mkdir -p "build/fuzz/corpus/$name"
  rm -f "build/fuzz/$name"-*
  # No leak checks: every target keeps its file and caches open for the whole run. No
  # rereading of the corpus every second: one process per target. No allocation stacks while
  # searching (a fifth of the time): a fault's input is run again alone with them.
  if ! ASAN_OPTIONS=$ASAN_OPTIONS:malloc_context_size=0 "$f" -seed="$seed" \
         -max_total_time="$seconds" -timeout=30 -detect_leaks=0 -reload=0 \
         -artifact_prefix="build/fuzz/$name-" "build/fuzz/corpus/$name" \
         "tests/fuzz/seeds/$name" >"build/fuzz/$name.log" 2>&1; then
    sed '/^Shadow bytes around/,/ABORTING/d' "build/fuzz/$name.log" | tail -n 25
    for input in "build/fuzz/$name"-*; do
      echo "$name found a fault; its input run again alone, $input:"
      "$f" -timeout=30 -detect_leaks=0 "$input" 2>&1 | sed '/^Shadow bytes around/,$d' |
        tail -n 50 || true
      od -A d -c "$input" | head -n 64
    done
    exit 1
  fi
  grep -E '^#[0-9]+[[:space:]]+DONE' "build/fuzz/$name.log" || tail -n 1 "build/fuzz/$name.log"
done
