#!/usr/bin/env bash
# Installs the Debian 12 packages the program, its tests and its demo need, and any named
# as arguments. Idempotent: installs only what is missing. Uses sudo when not root.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config
          qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev qt6-translations-l10n
          libsqlite3-dev sqlite3
          xvfb xauth poppler-utils fonts-liberation fonts-dejavu-core
          clang libclang-rt-14-dev
          dpkg-dev file lintian librsvg2-bin desktop-file-utils appstream shared-mime-info "$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
