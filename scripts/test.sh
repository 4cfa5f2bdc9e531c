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

# Fuzzing: a short run per target (scripts/fuzz.sh --minutes N runs them longer). A fixed
# seed keeps the run repeatable: a crash found here is found again the same way.
scripts/fuzz.sh --seconds "${QVR_FUZZ_SECONDS:-20}" --seed 1

# The Windows build: cross-built, its tests under Wine, its zip started.
scripts/windows.sh --package
echo "all tests passed"
