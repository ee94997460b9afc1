#!/usr/bin/env bash
# Makes the Debian package dist/kolva_VERSION_amd64.deb from a release build
# of its own (build-package, installing under /usr), with CPack.
#
#   tools/package.sh                           # installs what is missing, builds, packages
#   sudo apt install ./dist/kolva_1.0_amd64.deb
#
# Exits with 77 (and says why) where Debian's dpkg-deb is not installed.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "tools/package.sh: dpkg-deb (Debian's dpkg) is not installed: no Debian package can be made here" >&2
  exit 77
fi
tools/setup.sh --package

# A build as the other optimised builds are made (so that ccache shares their
# objects), linked with Debian's hardening of the linker; the change log's
# date for the manual page.
ldflags="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)"
SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -l packaging/changelog -STimestamp)"
export SOURCE_DATE_EPOCH

cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DKOLVA_TESTS=OFF -DKOLVA_SANITIZE=OFF -DKOLVA_BENCH=OFF -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build build-package -j"$(nproc)"

rm -rf build-package/cpack
(cd build-package && cpack -G DEB -B "$PWD/cpack" >/dev/null)
debs=(build-package/cpack/kolva_*_amd64.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "tools/package.sh: CPack made no single package: ${debs[*]}" >&2
  exit 1
fi
mkdir -p dist
name="$(basename "${debs[0]}")"
cp "${debs[0]}" "dist/.$name.tmp"
mv -f "dist/.$name.tmp" "dist/$name"
echo "dist/$name"
