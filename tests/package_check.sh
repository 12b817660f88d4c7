#!/usr/bin/env bash
# Checks what users install: `cmake --install` and the .deb put the program and
# its manual page in place, the program converts a recording and the manual
# page renders; two builds of the commit in two folders give the same .deb;
# the Windows .zip holds a kordimalen.exe that converts one under Wine.
#
#   tests/package_check.sh LINUX_BUILD_DIR [WINDOWS_BUILD_DIR]
#
# With CI=true the .deb is also installed on the machine with dpkg and removed.
set -euo pipefail
linux_build=$(cd "$1" && pwd)
windows_build=${2:+$(cd "$2" && pwd)}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
checks=0

converts() {  # converts() PROGRAM [RUNNER]: converts a fresh sample in $scratch/run
  rm -rf "$scratch/run" && mkdir "$scratch/run"
  (cd "$scratch/run" && "$linux_build/make_recording" sim.wav 4000 && ${2:-} "$1" sim.wav > out.txt)
  test -s "$scratch/run/kordimalen-sim.wav"
  checks=$((checks + 1))
}

# The page renders, shows the "fmt " ID with its space, and splits no name
# across lines, at a narrow and a common console width.
renders() {
  for width in 60 80; do
    page=$(MANWIDTH=$width man -l "$1" 2> /dev/null)
    grep -q "^KORDIMALEN(1)" <<< "$page"
    grep -q '"fmt "' <<< "$page"
    if grep -nE '(-|‐)$' <<< "$page"; then
      echo "manual page: a line ends in a hyphen at width $width"
      exit 1
    fi
  done
  checks=$((checks + 1))
}

cmake --install "$linux_build" --prefix "$scratch/prefix" > /dev/null
converts "$scratch/prefix/bin/kordimalen"
renders "$scratch/prefix/share/man/man1/kordimalen.1"

(cd "$linux_build" && cpack -G DEB > /dev/null)
deb=$(ls "$linux_build"/kordimalen_*.deb)
dpkg-deb -x "$deb" "$scratch/deb"
converts "$scratch/deb/usr/bin/kordimalen"
renders "$scratch/deb/usr/share/man/man1/kordimalen.1"
if [ "${CI:-}" = true ]; then
  dpkg -i "$deb" > /dev/null
  converts kordimalen
  man kordimalen | grep -q "^KORDIMALEN(1)" && checks=$((checks + 1))
  dpkg -r kordimalen > /dev/null
fi

# Reproducible: the same commit built in two different folders gives a
# byte-identical .deb.
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
for copy in one two; do
  git clone -q "$repo" "$scratch/$copy"
  cmake -S "$scratch/$copy" -B "$scratch/$copy/build" -DCMAKE_BUILD_TYPE=Release \
        -DKORDIMALEN_BUILD_TESTS=OFF > /dev/null
  cmake --build "$scratch/$copy/build" -j 2 > /dev/null
  (cd "$scratch/$copy/build" && cpack -G DEB > /dev/null)
done
cmp "$scratch"/one/build/kordimalen_*.deb "$scratch"/two/build/kordimalen_*.deb
checks=$((checks + 1))

if [ -n "$windows_build" ]; then
  (cd "$windows_build" && cpack -G ZIP > /dev/null)
  zip=$(ls "$windows_build"/kordimalen-*-win64.zip)
  (cd "$scratch" && unzip -q "$zip")
  exe=$(ls "$scratch"/kordimalen-*-win64/kordimalen.exe)
  wine=${WINE64:-/usr/lib/wine/wine64}
  WINEDEBUG=-all converts "$exe" "$wine"

  # The README's cmd.exe loop, typed at cmd's prompt, hands every name to the
  # program unchanged: each copy is the sample's conversion.
  loop_line=$(grep -m 1 '^    for %f in' "$repo/README.md" | sed 's/^ *//')
  names=("жук.wav" "κλειδί.wav" "Bob’s.wav" 'a!b&c%d.wav' "with space.wav")
  mkdir -p "$scratch/loop/rec" "$scratch/loop/kordimalen-rec"
  cp "$exe" "$scratch/loop/"
  for name in "${names[@]}"; do cp "$scratch/run/sim.wav" "$scratch/loop/rec/$name"; done
  (cd "$scratch/loop" && printf '%s\r\n' "$loop_line" | WINEDEBUG=-all "$wine" cmd > /dev/null)
  for name in "${names[@]}"; do cmp "$scratch/run/kordimalen-sim.wav" "$scratch/loop/kordimalen-rec/$name"; done
  checks=$((checks + 1))
fi
echo "packages: $checks passed, 0 failed"
