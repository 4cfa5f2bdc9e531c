#!/usr/bin/env bash
# Builds the program and starts it as a demonstration that needs no hardware: a simulated
# panel (class ZL at bus address 17 with 300 history entries, behind a bus master station)
# answers on a pseudo-terminal, and the program runs with its own settings file in
# build/demo, which maps COM1 to that pseudo-terminal, sets the connection to the
# internal bus and makes build/demo (with the sample standard texts) the installation
# folder. Nothing of the user's own settings is read or written.
#
#   scripts/run.sh              the demo; arguments go to the program (a history file)
#   scripts/run.sh --plain ...  the program alone, with the user's own settings
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVR_TESTS=OFF -DQVR_BENCH=OFF >/dev/null
cmake --build build/app -j "$(nproc)" --target qvr-history qvr-panel-sim standard_texts_sample

if [ "${1:-}" = "--plain" ]; then
  shift
  exec build/app/bin/qvr-history "$@"
fi

demo="$PWD/build/demo"
mkdir -p "$demo"
cp -f build/app/bin/Standardtexte.bdb "$demo/"
for page in build/app/bin/QVR-HISTORY_*.html; do
  [ -e "$page" ] && cp -f "$page" "$demo/"
done

# The simulated panel prints the path of its pseudo-terminal on its first line.
sim_out="$demo/panel-sim.out"
: > "$sim_out"
build/app/bin/qvr-panel-sim --site 17:ZL:300,5:PV:40,3:RQ:40 --seed 7 --master 100 \
  >"$sim_out" 2>"$demo/panel-sim.log" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  [ -s "$sim_out" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$demo/panel-sim.log" >&2; exit 1; }
  sleep 0.05
done
pty="$(head -n 1 "$sim_out")"
[ -n "$pty" ] || { echo "run.sh: the simulated panel did not start" >&2; exit 1; }

# The language chosen in an earlier demo is kept; everything else is set afresh.
ini="$demo/qvr-history.ini"
language=""
[ -f "$ini" ] && language="$(sed -n 's/^Sprache=\([01]\)$/\1/p' "$ini" | head -n 1)"
{
  echo "[Installation]"
  echo "CurDir=$demo"
  if [ -n "$language" ]; then
    echo "[Sprache]"
    echo "Sprache=$language"
  fi
  echo "[Schnittstelle]"
  echo "Com=1"
  echo "Device1=$pty"
  echo "ConnType=int."
  echo "Baud=9600"
  echo "DTR=2"
} > "$ini"

echo "Demo: a simulated ZL panel at bus address 17 on $pty (COM1), behind a bus master."
echo "      File > Read-out history, choose address 17, Receive. Files go to $demo."
build/app/bin/qvr-history --settings "$ini" "$@"
