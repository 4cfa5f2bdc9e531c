#!/usr/bin/env bash
# Starts the window program under Xvfb with a sample history file and saves a picture of
# the screen, and a second one with the File menu open ("-menu" added to the name), so anyone can see the window as a user sees it.
#   scripts/screenshot.sh [OUTPUT.png] [de|en]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(realpath -m "${1:-build/screenshot/qvr-history.png}")
lang=${2:-de}
case "$lang" in de) offset=0 ;; en) offset=1 ;; *) echo "language: de or en" >&2; exit 2 ;; esac

scripts/setup.sh
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVR_TESTS=OFF -DQVR_BENCH=OFF >/dev/null
cmake --build build/app -j "$(nproc)" --target qvr-history

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The sample site's file; the umlaut in its name shows up in the status bar.
sample="$work/Anlage Süd.his"
sqlite3 "$sample" < resources/samples/plant.sql
cat > "$work/settings.ini" <<INI
[Installation]
CurDir=$work
[Sprache]
Sprache=$offset
INI

mkdir -p "$(dirname "$out")"
rm -f "$out"
QVR_HISTORY_SCREENSHOT="$out" xvfb-run -a -s "-screen 0 1280x800x24" \
  "$root/build/app/bin/qvr-history" --settings "$work/settings.ini" "\"$sample\""
[ -s "$out" ] || { echo "no screenshot was written" >&2; exit 1; }
echo "screenshot: $out"
