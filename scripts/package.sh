#!/usr/bin/env bash
# Builds the Debian package from this tree and prints its path:
# build/package/qvr-history_<version>_<arch>.deb. Only what the package holds is built
# (Release, no tests, no benchmarks), with Debian's hardening flags, installed under /usr.
#
#   scripts/package.sh && sudo apt install ./build/package/qvr-history_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh >&2

out=build/package
# Debian's optimisation level and no debug information (it would only be stripped again).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DQVR_TESTS=OFF -DQVR_BENCH=OFF -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
      -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >&2
cmake --build "$out" -j "$(nproc)" >&2
rm -f "$out"/qvr-history_*.deb
(cd "$out" && cpack -G DEB >&2)
ls "$PWD/$out"/qvr-history_*.deb
