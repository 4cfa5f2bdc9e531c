#!/usr/bin/env bash
# Cross-builds the program, the command-line program and the tests for 64-bit Windows with
# MinGW-w64 (warnings as errors) and runs every test under Wine, offscreen.
#
#   scripts/windows.sh            build and test; prints which tests were skipped and why
#   scripts/windows.sh --package  the same, then build/windows/qvr-history-VERSION-windows-x64.zip,
#                                 started from its unpacked copy under Wine and Xvfb for a
#                                 screenshot (build/screenshot/qvr-history-windows.png)
#
# Qt 6.4.2 and SQLite for MinGW come as one prebuilt archive: QVR_WINDOWS_BUNDLE names it,
# else it is looked for in ../shared/toolchains/windows beside the checkout. It is unpacked
# into build/windows-sdk, the Wine prefix lives in build/windows-wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

package=false
case "${1:-}" in
  "") ;;
  --package) package=true ;;
  *) echo "usage: scripts/windows.sh [--package]" >&2; exit 2 ;;
esac

scripts/setup.sh g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64 zip

archive=qt6.4.2-mingw-w64-with-sqlite.tar.xz
bundle=${QVR_WINDOWS_BUNDLE:-}
if [ -z "$bundle" ]; then
  for dir in "$root/../shared/toolchains/windows" "$root/../../shared/toolchains/windows"; do
    if [ -f "$dir/$archive" ]; then bundle="$dir/$archive"; break; fi
  done
fi
if [ ! -f "$bundle" ]; then
  echo "windows.sh: $archive not found; set QVR_WINDOWS_BUNDLE to its path" >&2
  exit 1
fi
sdk="$root/build/windows-sdk"
stamp=$(sha256sum "$bundle" | cut -d' ' -f1)
if [ "$(cat "$sdk/.bundle" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$sdk"
  mkdir -p "$sdk"
  tar -xJf "$bundle" -C "$sdk"
  echo "$stamp" > "$sdk/.bundle"
fi

# Wine: a prefix of our own; the DLL folders on its search path; Wine drops Unix variables
# starting with QT_, WINEQT_X reaches the program as QT_X.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
export WINEPREFIX="$root/build/windows-wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
gccdir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
runtime_dirs=("$sdk/qt6-mingw/bin" "$sdk/sqlite-mingw/bin" "$gccdir" /usr/x86_64-w64-mingw32/lib)
WINEPATH=""
for d in "${runtime_dirs[@]}"; do WINEPATH+="$(winpath "$d");"; done
export WINEPATH
export WINEQT_QPA_PLATFORM=offscreen WINEQT_FORCE_STDERR_LOGGING=1 \
       WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/liberation
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

# Benchmarks measure the Linux build; they are not built here.
build="$root/build/windows"
started=$SECONDS
# A compiler cache, where there is one, makes a rebuild after small changes take seconds.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DQVR_WERROR=ON -DQVR_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
built=$SECONDS
(cd "$build" && ctest --output-on-failure -j "$(nproc)")
echo "Windows: cross-build $((built - started)) s, tests under Wine $((SECONDS - built)) s"

# What did not run under Wine: test programs skipped as a whole, and test functions that
# skipped themselves, each with its reason.
log="$build/Testing/Temporary/LastTest.log"
programs=$(grep -E '^Skipped: ' "$log" | sed -E 's/^Skipped: /  /' || true)
functions=$(grep -E '^SKIP +: ' "$log" | sed -E 's/^SKIP +: /  /' || true)
count() { if [ -z "$1" ]; then echo 0; else wc -l <<<"$1"; fi; }
echo "Skipped under Wine: $(count "$programs") test programs, $(count "$functions") test functions"
[ -z "$programs" ] || echo "$programs"
[ -z "$functions" ] || echo "$functions"

$package || exit 0
tested=$SECONDS

# The zip: both programs, the DLLs they load (found by walking their imports) and the
# Qt plugins they load, help pages and the sample standard texts.
version=$(sed -n 's/^project(qvr-history VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage="$build/package/QVR-History"
rm -rf "$build/package"
mkdir -p "$stage/platforms" "$stage/styles"
cp "$build/bin/qvr-history.exe" "$build/bin/qvr-history-cli.exe" "$stage/"
cp "$sdk/qt6-mingw/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$sdk/qt6-mingw/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$build/bin/QVR-HISTORY_DE.html" "$build/bin/QVR-HISTORY_EN.html" "$build/bin/Standardtexte.bdb" "$stage/"
todo=("$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll)
while [ ${#todo[@]} -gt 0 ]; do
  file=${todo[0]}
  todo=("${todo[@]:1}")
  for dll in $(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
    [ -e "$stage/$dll" ] && continue
    for d in "${runtime_dirs[@]}"; do
      if [ -f "$d/$dll" ]; then
        cp "$d/$dll" "$stage/"
        todo+=("$stage/$dll")
        break
      fi
    done # not found in these folders: a DLL of Windows itself
  done
done
# The libraries come with their symbols (libstdc++ is 23 MB so); the zip needs none.
find "$stage" -name '*.exe' -o -name '*.dll' | xargs x86_64-w64-mingw32-strip --strip-unneeded
# The window program opens no console (subsystem 2), the command-line program is one (3).
subsystem() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^Subsystem\s*0*\([0-9]*\).*/\1/p'; }
if [ "$(subsystem "$stage/qvr-history.exe")" != 2 ] || [ "$(subsystem "$stage/qvr-history-cli.exe")" != 3 ]; then
  echo "windows.sh: qvr-history.exe must be a GUI program, qvr-history-cli.exe a console program" >&2
  exit 1
fi
zip="$build/qvr-history-$version-windows-x64.zip"
rm -f "$zip"
(cd "$build/package" && zip -qr -9 "$zip" QVR-History)
echo "package: $zip ($(du -k "$zip" | cut -f1) KiB, $(unzip -Z1 "$zip" | grep -vc '/$') files)"

# Start the programs from the unpacked zip, with nothing on Wine's DLL path but Windows
# itself, the window program in the Windows window plugin on an X server; the language is
# set in the registry, the installation folder is the zip's own.
check="$build/package-check"
rm -rf "$check"
mkdir -p "$check"
unzip -q "$zip" -d "$check"
sqlite3 "$check/Anlage Süd.his" < resources/samples/plant.sql
# Wine's desktop of the offscreen tests has no display: end it, and the server with it.
wineserver -k 2>/dev/null && wineserver -w || true
export WINEPATH= WINEQT_QPA_PLATFORM=windows
unset WINEQT_QPA_FONTDIR
shot="$root/build/screenshot/qvr-history-windows.png"
mkdir -p "$(dirname "$shot")"
rm -f "$shot"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -e
  cd "$1/QVR-History"
  wine reg add "HKCU\\SOFTWARE\\QVR-History\\Sprache" /v Sprache /d 0 /f </dev/null >/dev/null 2>&1
  # The command-line program runs and reports a port that is not there.
  status=0
  timeout 60 wine qvr-history-cli.exe readout --port COM9 --connection RS232 --address 17 --file x.his \
    --lang en > "$1/cli.out" 2>&1 || status=$?
  grep -q "The selected interface is not valid" "$1/cli.out" && [ $status = 1 ] || {
    cat "$1/cli.out"; echo "windows.sh: qvr-history-cli.exe from the zip misbehaved" >&2; exit 1; }
  QVR_HISTORY_SCREENSHOT="$2" timeout 120 wine qvr-history.exe "$3"
  wineserver -w' _ "$check" "$(winpath "$shot")" "$(winpath "$check/Anlage Süd.his")"
[ -s "$shot" ] || { echo "windows.sh: the program from the zip wrote no screenshot" >&2; exit 1; }
echo "screenshot: $shot"
echo "Windows: zip and its check $((SECONDS - tested)) s"
