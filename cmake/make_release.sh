#!/usr/bin/env bash
# Makes every release file of the commit checked out, in build/release:
# - kordimalen-VERSION.tar.gz, the source release;
# - the .deb for amd64, arm64 and armhf, the .rpm for x86_64, each linking the
#   C and C++ runtimes as its distribution does;
# - kordimalen-VERSION-linux-CPU.tar.gz for x86_64, aarch64, i686 and arm (every
#   Raspberry Pi, ARMv6 included): a fully static program with its manual
#   page, licence and README;
# - kordimalen-VERSION-win64.zip;
# - SHA256SUMS over them, which `sha256sum -c SHA256SUMS` verifies there.
# Each comes from a build folder of its own, build/release-NAME, without tests.
# Two runs of one commit give the same bytes, in any clone, whatever the
# caller's umask, time zone, locale and home folder.
#
#   cmake/make_release.sh
#
# Needs, besides the build's own tools: g++-aarch64-linux-gnu,
# g++-arm-linux-gnueabihf, g++-arm-linux-gnueabi, g++-i686-linux-gnu,
# g++-mingw-w64-x86-64-posix, groff, dpkg-dev and rpm.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "make_release: the work tree has changes; a release is made from a commit"
  exit 1
fi
# What the files hold may depend on none of the caller's settings: modes,
# times in UTC from the commit, and file lists in the C locale's order.
umask 0022
export TZ=UTC LC_ALL=C
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
release=build/release
rm -rf "$release" build/release-*
mkdir -p "$release"

# configure PRESET NAME [CMAKE_ARGUMENT...]: the preset in build/release-NAME,
# without tests, with the program built.
configure() {
  local preset=$1 folder=build/release-$2
  shift 2
  echo "-- $folder"
  { cmake --preset "$preset" -B "$folder" -DKORDIMALEN_BUILD_TESTS=OFF "$@" &&
    cmake --build "$folder" --target kordimalen; } > "$folder.log" 2>&1 || { cat "$folder.log"; exit 1; }
}

# package NAME "GENERATOR...": the packages of build/release-NAME.
package() {
  local folder=build/release-$1
  for generator in $2; do
    (cd "$folder" && cpack -G "$generator") >> "$folder.log" 2>&1 || { cat "$folder.log"; exit 1; }
  done
}

# static NAME: build/release-NAME's program, stripped, with its manual page,
# licence and README, as kordimalen-VERSION-linux-NAME.tar.gz.
static() {
  local folder=build/release-$1
  local version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$folder/CMakeCache.txt")
  local top=kordimalen-$version-linux-$1
  local strip
  strip=$(sed -n 's/^CMAKE_STRIP:FILEPATH=//p' "$folder/CMakeCache.txt")
  mkdir "$folder/$top"
  "$strip" -o "$folder/$top/kordimalen" "$folder/kordimalen"
  cp "$folder/kordimalen.1" LICENSE "$folder/$top/"
  cp doc/README-static.txt "$folder/$top/README"
  chmod 0755 "$folder/$top" "$folder/$top/kordimalen"
  chmod 0644 "$folder/$top/kordimalen.1" "$folder/$top/LICENSE" "$folder/$top/README"
  touch -d "@$SOURCE_DATE_EPOCH" "$folder/$top" "$folder/$top"/*
  tar --sort=name --owner=0 --group=0 --numeric-owner --format=gnu -C "$folder" -cf - "$top" |
    gzip -9n > "$folder/$top.tar.gz"
}

configure default amd64 -DKORDIMALEN_PACKAGE_BUILD=ON
package amd64 "DEB RPM"
cmake --build build/release-amd64 --target source_release >> build/release-amd64.log 2>&1
configure aarch64 arm64 -DKORDIMALEN_PACKAGE_BUILD=ON
package arm64 DEB
configure armhf armhf -DKORDIMALEN_PACKAGE_BUILD=ON
package armhf DEB
configure windows win64
package win64 ZIP
configure default x86_64 -DKORDIMALEN_STATIC=ON
static x86_64
configure aarch64 aarch64
static aarch64
configure i686 i686
static i686
configure armel arm
static arm

cp build/release-amd64/*.tar.gz build/release-*/*.deb build/release-amd64/*.rpm build/release-win64/*.zip \
  build/release-{x86_64,aarch64,i686,arm}/*.tar.gz "$release/"
sums=$(cd "$release" && sha256sum -- *)
printf '%s\n' "$sums" > "$release/SHA256SUMS"
echo "-- $release:"
cat "$release/SHA256SUMS"
