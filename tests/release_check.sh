#!/usr/bin/env bash
# Checks the release command, run as doc/DEVELOPING.md gives it, in two fresh
# clones of the commit. The second is made the way a second releaser differs:
# umask 0002, another time zone, a non-C UTF-8 locale, another home folder and
# a deeper path.
# - it makes the source release, the .debs for amd64, arm64 and armhf, the
#   .rpm for x86_64, the four static programs, the Windows zip and SHA256SUMS,
#   and nothing else;
# - `sha256sum -c SHA256SUMS` passes, and the second clone's SHA256SUMS is the
#   first's: every file is the same, byte for byte;
# - each .deb names its architecture, depends on libc6 and libstdc++6, and
#   lintian finds nothing in it; no packaged program needs a glibc newer than
#   2.34; the .rpm is not relocatable;
# - each static program has no dynamic section;
# - every program, the ARM and i686 ones under qemu-user (the 32-bit ARM static
#   one as the Raspberry Pi 1's ARM1176), converts the sample to the amd64
#   package's bytes.
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

command=$("$repo/tests/readme_block.sh" --in doc/DEVELOPING.md 'make_release')
commit=$(git -C "$repo" rev-parse HEAD)

# A UTF-8 locale other than C, made in the scratch folder where none is installed.
locale=$(locale -a 2> /dev/null | grep -iv '^c\.' | grep -i 'utf-\?8$' | head -n 1 || true)
if [ -z "$locale" ]; then
  mkdir "$scratch/locales"
  localedef -i fr_FR -f UTF-8 "$scratch/locales/fr_FR.UTF-8" 2> /dev/null ||
    fail "no UTF-8 locale but C, and none can be made (Debian: apt-get install locales)"
  export LOCPATH="$scratch/locales"
  locale=fr_FR.UTF-8
fi

one="$scratch/one"
two="$scratch/a/deeper/path/for/the/second/clone"
mkdir -p "$two" "$scratch/home-two"
for clone in "$one" "$two"; do
  git clone -q "$repo" "$clone" && git -C "$clone" checkout -q "$commit"
done
(cd "$one" && bash -c "$command") > "$scratch/one.log" 2>&1 ||
  { tail -n 30 "$scratch/one.log"; fail "the release command in a fresh clone"; }
(umask 0002 && cd "$two" && HOME="$scratch/home-two" TZ=Pacific/Kiritimati LC_ALL=$locale LANG=$locale \
  bash -c "$command") > "$scratch/two.log" 2>&1 ||
  { tail -n 30 "$scratch/two.log"; fail "the release command under another umask, time zone and locale"; }
release="$one/build/release"
version=$(sed -n 's/^project(kordimalen VERSION \([0-9.]*\) .*/\1/p' "$repo/CMakeLists.txt")

statics=(x86_64 aarch64 i686 arm)
{
  printf '%s\n' SHA256SUMS "kordimalen-$version-1.x86_64.rpm" "kordimalen-$version-win64.zip" \
    "kordimalen-$version.tar.gz" "kordimalen_${version}_amd64.deb" "kordimalen_${version}_arm64.deb" \
    "kordimalen_${version}_armhf.deb"
  for cpu in "${statics[@]}"; do echo "kordimalen-$version-linux-$cpu.tar.gz"; done
} | LC_ALL=C sort > "$scratch/expected"
(cd "$release" && LC_ALL=C ls) | diff "$scratch/expected" - || fail "the release holds other files"
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
cmp "$release/SHA256SUMS" "$two/build/release/SHA256SUMS" ||
  fail "two releases of one commit differ:"$'\n'"$(diff "$release/SHA256SUMS" "$two/build/release/SHA256SUMS")"
pass

# newest_glibc PROGRAM: the newest glibc symbol version the program needs.
newest_glibc() {
  readelf -W --dynamic --version-info "$1" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -n 1
}
for architecture in amd64 arm64 armhf; do
  deb="$release/kordimalen_${version}_$architecture.deb"
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$architecture" ] || fail "$deb is not for $architecture"
  depends=$(dpkg-deb -f "$deb" Depends)
  grep -q 'libc6 (>= [0-9.]*)' <<< "$depends" && grep -q 'libstdc++6 (>= [0-9.]*)' <<< "$depends" ||
    fail "$deb depends on $depends, not on libc6 and libstdc++6"
  lintian --display-info --fail-on error,warning,info "$deb" || fail "lintian reports $deb"
  dpkg-deb -x "$deb" "$scratch/$architecture"
done
rpm="$release/kordimalen-$version-1.x86_64.rpm"
[ "$(rpm -qp --qf '%{PREFIXES}' "$rpm")" = "(none)" ] || fail "the .rpm is relocatable"
mkdir "$scratch/rpm" && (cd "$scratch/rpm" && rpm2cpio "$rpm" | cpio -idm --quiet)
for program in "$scratch"/{amd64,arm64,armhf,rpm}/usr/bin/kordimalen; do
  newest=$(newest_glibc "$program")
  printf '%s\n' "$newest" 2.34 | sort -V -C || fail "$program needs glibc $newest, newer than 2.34"
done
for cpu in "${statics[@]}"; do
  tar -xzf "$release/kordimalen-$version-linux-$cpu.tar.gz" -C "$scratch"
  program="$scratch/kordimalen-$version-linux-$cpu/kordimalen"
  readelf -d "$program" | grep -q 'There is no dynamic section' || fail "the $cpu static program is dynamic"
done
pass

mkdir "$scratch/run"
"$one/build/release-amd64/make_recording" "$scratch/run/sim.wav" 384000 > /dev/null
convert() {  # convert NAME PROGRAM [RUNNER...]: the program converts the sample to the amd64 package's bytes
  local name=$1 program=$2
  shift 2
  mkdir "$scratch/run/$name" && cp "$scratch/run/sim.wav" "$scratch/run/$name/"
  (cd "$scratch/run/$name" && "$@" "$program" sim.wav > /dev/null) || fail "the $name program does not convert"
  [ "$name" = amd64 ] || cmp "$scratch/run/amd64/kordimalen-sim.wav" "$scratch/run/$name/kordimalen-sim.wav" ||
    fail "the $name program's copy differs from the amd64 one's"
}
convert amd64 "$scratch/amd64/usr/bin/kordimalen"
convert arm64 "$scratch/arm64/usr/bin/kordimalen" qemu-aarch64 -L /usr/aarch64-linux-gnu
convert armhf "$scratch/armhf/usr/bin/kordimalen" qemu-arm -L /usr/arm-linux-gnueabihf
convert rpm "$scratch/rpm/usr/bin/kordimalen"
static_program() { echo "$scratch/kordimalen-$version-linux-$1/kordimalen"; }
convert static-x86_64 "$(static_program x86_64)"
convert static-aarch64 "$(static_program aarch64)" qemu-aarch64
convert static-i686 "$(static_program i686)" qemu-i386
convert static-arm "$(static_program arm)" qemu-arm -cpu arm1176
pass
echo "release: $checks passed, 0 failed"
