#!/usr/bin/env bash
# Checks the release command (cmake/make_release.sh), run as written in two
# fresh clones of the commit:
# - it makes the source release, the .debs for amd64, arm64 and armhf, the
#   .rpm for x86_64, the Windows zip and SHA256SUMS, and nothing else;
# - `sha256sum -c SHA256SUMS` passes, and the second clone's SHA256SUMS is the
#   first's: every file is the same, byte for byte;
# - each .deb names its architecture and lintian finds nothing in it;
# - the ARM programs, run under qemu-user with their C library, convert the
#   sample to the same bytes as the amd64 one.
#
#   tests/release_check.sh
set -euo pipefail
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "release check failed: $*"
  exit 1
}
checks=0
pass() { checks=$((checks + 1)); }

command=$(grep -o 'cmake/make_release\.sh' "$repo/doc/DEVELOPING.md" | head -n 1 || true)
[ -n "$command" ] || fail "doc/DEVELOPING.md gives no release command"
commit=$(git -C "$repo" rev-parse HEAD)
for clone in one two; do
  git clone -q "$repo" "$scratch/$clone" && git -C "$scratch/$clone" checkout -q "$commit"
  (cd "$scratch/$clone" && "./$command") > "$scratch/$clone.log" 2>&1 ||
    { tail -n 30 "$scratch/$clone.log"; fail "the release command in a fresh clone"; }
done
release="$scratch/one/build/release"
version=$(sed -n 's/^project(kordimalen VERSION \([0-9.]*\) .*/\1/p' "$repo/CMakeLists.txt")

printf '%s\n' SHA256SUMS "kordimalen-$version-1.x86_64.rpm" "kordimalen-$version-win64.zip" \
  "kordimalen-$version.tar.gz" "kordimalen_${version}_amd64.deb" "kordimalen_${version}_arm64.deb" \
  "kordimalen_${version}_armhf.deb" | LC_ALL=C sort > "$scratch/expected"
(cd "$release" && LC_ALL=C ls) | diff "$scratch/expected" - || fail "the release holds other files"
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
cmp "$release/SHA256SUMS" "$scratch/two/build/release/SHA256SUMS" ||
  fail "two releases of one commit differ:"$'\n'"$(diff "$release/SHA256SUMS" "$scratch/two/build/release/SHA256SUMS")"
pass

for architecture in amd64 arm64 armhf; do
  deb="$release/kordimalen_${version}_$architecture.deb"
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$architecture" ] || fail "$deb is not for $architecture"
  dpkg-deb -f "$deb" Depends | grep -q '^libc6 (>= [0-9.]*)$' || fail "$deb does not depend on libc6"
  lintian --display-info --fail-on error,warning,info "$deb" || fail "lintian reports $deb"
  dpkg-deb -x "$deb" "$scratch/$architecture"
done
pass

mkdir "$scratch/run"
"$scratch/one/build/release-amd64/make_recording" "$scratch/run/sim.wav" 384000 > /dev/null
convert() {  # convert ARCHITECTURE [RUNNER...]: its package's program converts the sample
  local architecture=$1
  shift
  mkdir "$scratch/run/$architecture" && cp "$scratch/run/sim.wav" "$scratch/run/$architecture/"
  (cd "$scratch/run/$architecture" && "$@" "$scratch/$architecture/usr/bin/kordimalen" sim.wav > /dev/null) ||
    fail "the $architecture program does not convert the sample"
}
convert amd64
convert arm64 qemu-aarch64 -L /usr/aarch64-linux-gnu
convert armhf qemu-arm -L /usr/arm-linux-gnueabihf
for architecture in arm64 armhf; do
  cmp "$scratch/run/amd64/kordimalen-sim.wav" "$scratch/run/$architecture/kordimalen-sim.wav" ||
    fail "the $architecture program's copy differs from the amd64 one's"
done
pass
echo "release: $checks passed, 0 failed"
