#!/usr/bin/env bash
# Builds everything with warnings as errors and with ASan + UBSan, runs every test with
# CTest, checks the Debian package, gives each fuzz target a short run, then cross-builds
# for Windows and runs the tests and the zip there under Wine (scripts/windows.sh --package).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh

jobs=$(nproc)
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DQVR_WERROR=ON -DQVR_SANITIZE=ON -DQVR_BENCH=ON >/dev/null
cmake --build build/test -j "$jobs"

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build/test && ctest --output-on-failure -j "$jobs")

# The Debian package, built apart (Release, no sanitizers) and run from an unpacked root.
tests/package/check.sh

# Fuzzing: clang's libFuzzer, a short run per target.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DQVR_FUZZ=ON >/dev/null
cmake --build build/fuzz -j "$jobs" --target fuzzers
shopt -s nullglob
for f in build/fuzz/bin/fuzz_*; do
  name=$(basename "$f")
  echo "fuzzing $name for ${QVR_FUZZ_SECONDS:-20} s"
  corpus="build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  dirs=("$corpus")
  [ -d "$root/tests/fuzz/seeds/$name" ] && dirs+=("$root/tests/fuzz/seeds/$name")
  # A fixed seed keeps the run repeatable: a crash found here is found again the same way.
  if ! "$f" -seed=1 -max_total_time="${QVR_FUZZ_SECONDS:-20}" -print_final_stats=0 \
         -artifact_prefix="build/fuzz/$name-" "${dirs[@]}" > "build/fuzz/$name.log" 2>&1; then
    tail -n 40 "build/fuzz/$name.log"
    echo "$name found a fault; the input is in build/fuzz/$name-*"
    exit 1
  fi
  tail -n 1 "build/fuzz/$name.log"
done

scripts/windows.sh --package
echo "all tests passed"
