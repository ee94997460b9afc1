#!/usr/bin/env bash
# Installs the Debian packages KOLVA needs to build, run and test, when missing.
set -euo pipefail

packages=(
  g++ cmake make pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libqt6test6 libgl-dev
  mdbtools-dev libmdb3
  libgtest-dev libgmock-dev libbenchmark-dev
  poppler-utils sqlite3 libsqlite3-dev libpq-dev xdg-utils
  libgdal-dev
  fonts-dejavu-core fonts-liberation2 fonts-noto-cjk
  libgdal-dev gdal-bin
)
# The Debian package (tools/package.sh): the SVG icon, the manual page, the
# package build and its checks.
packaging=(qt6-svg-dev help2man dpkg-dev fakeroot lintian desktop-file-utils)
if [ "${1:-}" = "--test" ]; then
  # The nightly fuzz run builds its target with clang and libFuzzer; the suite
  # builds the package and checks it; the GIS export's tests read its files
  # back with ogrinfo and ogr2ogr; the server database's tests start a
  # throwaway PostgreSQL cluster with initdb and pg_ctl.
  packages+=(postgresql xvfb xauth imagemagick mdbtools clang libclang-rt-14-dev gdal-bin "${packaging[@]}")
elif [ "${1:-}" = "--package" ]; then
  packages+=("${packaging[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
