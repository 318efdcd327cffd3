#!/usr/bin/env bash
# Installs what Tallix needs to build, test and run on Debian 12.
# Safe to run again: it asks apt only for packages that are missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libqt6opengl6-dev
  libgl-dev libxkbcommon-dev
  libxlsxwriter-dev libzip-dev
  libpq-dev libsodium-dev
  fonts-wqy-microhei
  sqlite3 libsqlite3-dev poppler-utils
  dpkg-dev file librsvg2-bin desktop-file-utils appstream
  postgresql postgresql-client
  xvfb xauth
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
