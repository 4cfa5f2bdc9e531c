#!/usr/bin/env bash
# The Debian package as a user gets it: built from this tree, passed by lintian, unpacked
# into an empty root and run from that root alone, with a home and XDG folders of its own.
set -euo pipefail
cd "$(dirname "$0")/../.."
deb=$(scripts/package.sh)
lintian --fail-on error,warning --tag-display-limit 0 "$deb"

t=$(mktemp -d)
trap 'kill "${sim:-}" 2>/dev/null || true; rm -rf "$t"' EXIT
root=$t/root
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$t/control"
export HOME=$t/home XDG_CONFIG_HOME=$t/home/.config XDG_DATA_HOME=$t/home/.local/share \
       XDG_CACHE_HOME=$t/home/.cache XDG_RUNTIME_DIR=$t/run QT_QPA_PLATFORM=offscreen
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME/QVR-History"
# The user's file, named so that an installed package's /etc file is not read either: the
# installation folder must come from the unpacked layout.
export QVR_HISTORY_SETTINGS=$XDG_CONFIG_HOME/QVR-History/qvr-history.ini
printf '[Sprache]\nSprache=1\n' > "$QVR_HISTORY_SETTINGS"
cd "$t"
touch "$t/stamp"

# The system settings name the installed data folder.
curdir=$(sed -n 's/^CurDir=//p' "$root/etc/qvr-history/qvr-history.ini")
test -f "$root$curdir/Standardtexte.bdb" -a -f "$root$curdir/QVR-HISTORY_EN.html"

# A read-out of the simulated panel, then the window program opens the file.
"$root/usr/bin/qvr-panel-sim" --class PV --address 17 --entries 25 --seed 3 >sim.out 2>sim.log &
sim=$!
for _ in $(seq 100); do [ -s sim.out ] && break; sleep 0.1; done
"$root/usr/bin/qvr-history-cli" readout --port "$(head -n 1 sim.out)" --connection RS232 \
  --address 17 --file "$t/plant.his" --lang en | tee cli.out
grep -q "standard texts could not be opened" cli.out && exit 1
QVR_HISTORY_SCREENSHOT=$t/window.png timeout 60 "$root/usr/bin/qvr-history" "$t/plant.his" | tee gui.out
grep -qF "[plant.his]" gui.out
# The log went to the user's data folder; nothing in the installed tree was written.
test -s "$XDG_DATA_HOME/QVR-History/logdata.txt"
test -z "$(find "$root" -newer stamp)"

# Desktop integration and the package's scripts.
desktop-file-validate "$root/usr/share/applications/qvr-history.desktop"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
mime=$XDG_DATA_HOME/mime && mkdir -p "$mime/packages" && cp "$root"/usr/share/mime/packages/*.xml "$mime/packages/"
update-mime-database "$mime" && grep -q ':application/x-qvr-history:\*\.his$' "$mime/globs2"
test -f "$root/usr/share/icons/hicolor/48x48/apps/qvr-history.png"
sh control/postinst configure | grep -q '"dialout"'
echo "package check passed: $deb"
