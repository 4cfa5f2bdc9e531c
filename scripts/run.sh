#!/usr/bin/env bash
# Builds the program and starts the window program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVR_TESTS=OFF -DQVR_BENCH=OFF >/dev/null
cmake --build build/app -j "$(nproc)"
exec build/app/bin/qvr-history "$@"
