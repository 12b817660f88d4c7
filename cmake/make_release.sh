#!/usr/bin/env bash
# Makes every release file of the commit checked out, in build/release:
# - kordimalen-VERSION.tar.gz, the source release;
# - the .deb for amd64, arm64 and armhf, the .rpm for x86_64;
# - kordimalen-VERSION-win64.zip;
# - SHA256SUMS over them, which `sha256sum -c SHA256SUMS` verifies there.
# Each comes from a build folder of its own, build/release-NAME, without tests.
# Two runs of one commit give the same bytes, in any clone.
#
#   cmake/make_release.sh
#
# Needs, besides the build's own tools: g++-aarch64-linux-gnu,
# g++-arm-linux-gnueabihf, g++-mingw-w64-x86-64-posix, dpkg-dev and rpm.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "make_release: the work tree has changes; a release is made from a commit"
  exit 1
fi
release=build/release
rm -rf "$release" build/release-*
mkdir -p "$release"

# package PRESET NAME "GENERATOR..." [CMAKE_ARGUMENT...]: configures the preset
# in build/release-NAME without tests, and makes its packages (cpack builds
# what they need first).
package() {
  local preset=$1 folder=build/release-$2 generators=$3
  shift 3
  echo "-- $folder: $generators"
  cmake --preset "$preset" -B "$folder" -DKORDIMALEN_BUILD_TESTS=OFF "$@" > "$folder.log" 2>&1 ||
    { cat "$folder.log"; exit 1; }
  for generator in $generators; do
    (cd "$folder" && cpack -G "$generator") >> "$folder.log" 2>&1 || { cat "$folder.log"; exit 1; }
  done
}

package default amd64 "DEB RPM"
cmake --build build/release-amd64 --target source_release >> build/release-amd64.log 2>&1
# The boards' packages link the C library dynamically, as the amd64 one does.
package aarch64 arm64 DEB -DKORDIMALEN_PACKAGE_BUILD=ON
package armhf armhf DEB -DKORDIMALEN_PACKAGE_BUILD=ON
package windows win64 ZIP

cp build/release-amd64/*.tar.gz build/release-*/*.deb build/release-amd64/*.rpm build/release-win64/*.zip \
  "$release/"
sums=$(cd "$release" && LC_ALL=C sha256sum -- *)
printf '%s\n' "$sums" > "$release/SHA256SUMS"
echo "-- $release:"
cat "$release/SHA256SUMS"
