#!/usr/bin/env bash
# A tour of the window program under Xvfb: a picture of every window and dialog (start,
# open dialog, grid, File menu, filter and a refused clause, print preview, both detail
# views, language window, about, interface dialog, and the read-out dialog while it reads
# a simulated panel), in German and in English, so anyone can look at the whole program
# in one folder.
#   scripts/screenshot.sh [FOLDER]   (default build/screenshot; pictures de/NN-*.png, en/NN-*.png)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/screenshot}")

scripts/setup.sh
# A small window manager draws the windows' title bars, so captions show as a user sees them.
if ! command -v openbox >/dev/null; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends openbox >/dev/null || true
fi
# QVR_BUILD names an existing build folder to take the programs from (default build/app).
build=${QVR_BUILD:-build/app}
[ -n "${QVR_BUILD:-}" ] || cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQVR_TESTS=OFF -DQVR_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target qvr-history-tour qvr-panel-sim standard_texts_sample

work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT
cp "$build"/bin/Standardtexte.bdb "$work/"
# The sample site's file; the umlaut in its name shows up in the status bar. A copy of it
# as device class PV shows the second detail view.
zl="$work/Anlage Süd.his"
pv="$work/Anlage Nord.his"
sqlite3 "$zl" < resources/samples/plant.sql
cp "$zl" "$pv"
sqlite3 "$pv" "UPDATE LumoHistory SET Geraet='PV'"

# The simulated panel (class ZL, bus address 17) prints its pseudo-terminal on its first line.
"$build"/bin/qvr-panel-sim --class ZL --address 17 --entries 300 --seed 7 --master 100 \
  >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/sim.out" ] && break
  sleep 0.05
done
pty=$(head -n 1 "$work/sim.out")

status=0
for lang in de en; do
  case "$lang" in de) offset=0 ;; en) offset=1 ;; esac
  cat > "$work/settings-$lang.ini" <<INI
[Installation]
CurDir=$work
[Sprache]
Sprache=$offset
[Schnittstelle]
Com=1
Device1=$pty
ConnType=int.
Baud=9600
DTR=2
INI
  rm -rf "${out:?}/$lang"
  mkdir -p "$out/$lang"
  wm=""
  command -v openbox >/dev/null && wm="openbox"
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    [ -n "$1" ] && { "$1" >/dev/null 2>&1 & sleep 1; }
    shift
    exec "$@"' _ "$wm" \
    "$build"/bin/qvr-history-tour --settings "$work/settings-$lang.ini" --out "$out/$lang" \
      --zl "$zl" --pv "$pv" ${pty:+--readout} || status=1
done
ls "$out"/de "$out"/en
echo "pictures: $out"
exit $status
