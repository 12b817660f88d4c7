#!/usr/bin/env bash
# Checks what users and distributions install:
# - the README's `cmake --install`, the .deb and the .rpm put the program,
#   its compressed manual page, the licence and the changelog where each
#   expects them; the program converts a recording and the manual page
#   renders; the README's removal leaves no file of that install;
# - lintian finds nothing in the .deb (no error, warning or informational
#   tag), rpmlint nothing in the .rpm but what tests/rpmlint.toml explains;
# - every package, the source release and the manual page carry the project's
#   version;
# - the README's POSIX loop converts the good recordings of a folder, names
#   the broken ones and ends with status 1, and does nothing in an empty one;
# - in a fresh clone, the README's sample command builds no test; its Usage
#   blocks, pasted in order where that command leaves the reader, convert the
#   sample (through a named pipe too), find every file they name and leave
#   nothing outside build/; its package lines make the packages they install;
#   the source release, unpacked outside git, passes the README's two set-up
#   commands and gives the same .deb;
# - the Windows .zip holds the program, the drop target, the licence, the
#   manual as MANUAL.txt and a README.txt for Windows (CR LF, lines of 78
#   characters at most, no Markdown, nothing on Linux, building or tests),
#   with no folder around them; its manifest declares UTF-8 names and long
#   paths;
#   unzipped into the folder that the README's PATH line puts on PATH, it
#   converts under Wine's cmd.exe from another folder and in the README's
#   loop, typed and in a .bat file (which names a broken recording and ends
#   with status 1), and a console shows names as typed, their control
#   characters escaped; the drop target, started as Explorer starts it,
#   converts recordings and a folder beside themselves to the Linux program's
#   bytes, and names a broken recording with its reason and incomplete copy.
#
#   tests/package_check.sh LINUX_BUILD_DIR [WINDOWS_BUILD_DIR]
#
# With CI=true the .deb is also installed on the machine with dpkg and removed.
set -euo pipefail
linux_build=$(cd "$1" && pwd)
windows_build=${2:+$(cd "$2" && pwd)}
repo=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
checks=0
pass() { checks=$((checks + 1)); }
fail() {
  echo "package check failed: $*"
  exit 1
}

# The README's commands, each found by a line of its block, run as written.
block() { "$repo/tests/readme_block.sh" "$@"; }
sample_command=$(block 'make_recording sim\.wav')
test_command=$(block 'ctest --preset default')
install_command=$(block '^cmake --install ')
removal_command=$(block --in doc/DEVELOPING.md 'install_manifest\.txt')
package_lines=$(block --in doc/DEVELOPING.md 'cpack -G DEB')
usage_blocks=$(block --section Usage)
posix_loop=$(block '^for f in \*\.wav')
path_line=$(block '^set PATH=')
cmd_loop=$(block '^for %f in')

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$linux_build/CMakeCache.txt")
# Packages carry the commit time that configuring reads: configured again, a
# build folder made at an earlier commit carries this one's.
cmake "$linux_build" > /dev/null
[ -z "$windows_build" ] || cmake "$windows_build" > /dev/null

converts() {  # converts() PROGRAM [RUNNER]: converts a fresh sample in $scratch/run
  rm -rf "$scratch/run" && mkdir "$scratch/run"
  (cd "$scratch/run" && "$linux_build/make_recording" sim.wav 4000 && ${2:-} "$1" sim.wav > out.txt)
  test -s "$scratch/run/kordimalen-sim.wav" || fail "$1 converts nothing"
  pass
}

# The page renders with the version in its header, shows the "fmt " ID with
# its space, and splits no name across lines, at a narrow and a common width.
renders() {
  for width in 60 80; do
    page=$(MANWIDTH=$width man -l "$1" 2> /dev/null)
    grep -q "^KORDIMALEN(1)" <<< "$page" || fail "$1 has no header"
    grep -q "^kordimalen $version " <<< "$page" || fail "$1 is not for version $version"
    grep -q '"fmt "' <<< "$page" || fail "$1 lost the space of \"fmt \""
    if grep -nE '(-|‐)$' <<< "$page"; then
      fail "$1: a line ends in a hyphen at width $width"
    fi
  done
  pass
}

# The changelog's newest entry is this version's.
head -n 1 "$repo/doc/changelog" | grep -q "^kordimalen ($version) " ||
  fail "doc/changelog's newest entry is not for $version"
pass

# The .deb: its files, lintian, and the program from it.
(cd "$linux_build" && rm -f ./*.deb ./*.rpm && cpack -G DEB > /dev/null && cpack -G RPM > /dev/null)
deb="$linux_build/kordimalen_${version}_amd64.deb"
test -f "$deb" || fail "no $deb"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "the .deb's version is not $version"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort > "$scratch/deb-files"
printf '%s\n' ./usr/bin/kordimalen ./usr/share/doc/kordimalen/changelog.gz ./usr/share/doc/kordimalen/copyright \
  ./usr/share/man/man1/kordimalen.1.gz | diff - "$scratch/deb-files" || fail "the .deb holds other files"
lintian --display-info --fail-on error,warning,info "$deb" || fail "lintian reports the .deb"
pass
dpkg-deb -x "$deb" "$scratch/deb"
converts "$scratch/deb/usr/bin/kordimalen"
renders "$scratch/deb/usr/share/man/man1/kordimalen.1.gz"
if [ "${CI:-}" = true ]; then
  dpkg -i "$deb" > /dev/null
  converts kordimalen
  man kordimalen | grep -q "^KORDIMALEN(1)" && pass
  dpkg -r kordimalen > /dev/null
fi

# The .rpm: rpmlint, its files and what rpm says of it. Nothing is installed.
rpm="$linux_build/kordimalen-${version}-1.x86_64.rpm"
test -f "$rpm" || fail "no $rpm"
lint=$(rpmlint -c "$repo/tests/rpmlint.toml" "$rpm" 2> /dev/null) || true
grep -q " 0 errors, 0 warnings" <<< "$lint" || fail "rpmlint reports the .rpm:"$'\n'"$lint"
printf '%s\n' /usr/bin/kordimalen /usr/share/licenses/kordimalen /usr/share/licenses/kordimalen/LICENSE \
  /usr/share/man/man1/kordimalen.1.gz | diff - <(rpm -qpl "$rpm") || fail "the .rpm holds other files"
[ "$(rpm -qpL "$rpm")" = /usr/share/licenses/kordimalen/LICENSE ] || fail "the .rpm marks no %license"
info=$(rpm -qpi "$rpm")
for field in "Name *: kordimalen" "Version *: $version" "License *: MIT" "Summary *: Converter of radio" \
  "Packager *: kordimalen developers" "^kordimalen converts one RIFF WAVE recording"; do
  grep -q "$field" <<< "$info" || fail "rpm -qpi shows no '$field'"
done
rpm -qp --changelog "$rpm" | grep -q -- "- $version-1$" || fail "the .rpm's changelog has no entry for $version"
pass
mkdir "$scratch/rpm" && (cd "$scratch/rpm" && rpm2cpio "$rpm" | cpio -idm --quiet)
converts "$scratch/rpm/usr/bin/kordimalen"

# The README's POSIX loop, pasted into a folder with a good and a broken
# recording, converts the good one, names the broken one and ends with status
# 1; in a folder without recordings it prints nothing and ends with status 0.
mkdir -p "$scratch/posix/empty"
cp "$scratch/run/sim.wav" "$scratch/posix/good.wav" && printf RIFX > "$scratch/posix/broken.wav"
! (cd "$scratch/posix" && PATH="$linux_build:$PATH" sh -c "$posix_loop" > loop.txt) &&
  grep -qx '  broken.wav' "$scratch/posix/loop.txt" && cmp "$scratch/run/kordimalen-sim.wav" "$scratch/posix/kordimalen-good.wav" ||
  fail "the README's loop in a folder with a broken recording: $(cat "$scratch/posix/loop.txt")"
shown=$(cd "$scratch/posix/empty" && PATH="$linux_build:$PATH" sh -c "$posix_loop") && [ -z "$shown" ] ||
  fail "the README's loop prints something or fails in a folder without recordings"
pass

# runs DIR NAME COMMAND: runs a README command as written in DIR, its output
# shown only when it fails.
runs() {
  (cd "$1" && bash -c "$3") > "$scratch/readme-command.log" 2>&1 ||
    { tail -n 20 "$scratch/readme-command.log"; fail "$2: $3"; }
}

# A second build of the commit, in a fresh clone, by the README's commands:
# the sample command builds the program and no test.
git clone -q "$repo" "$scratch/one"
runs "$scratch/one" "in a fresh clone" "$sample_command"
test -s "$scratch/one/build/default/kordimalen-sim.wav" || fail "the README's sample command converts nothing"
[ ! -e "$scratch/one/build/default/tests/kordimalen_tests" ] || fail "the README's sample command builds the tests"
# The Usage blocks, pasted in order into one shell in the project folder,
# where the sample command leaves the reader, with the program not installed:
# every file and folder they name is there, the copies in rec (one through
# the named pipe) are the sample's, no pipe is left, and nothing new lies
# outside build/. Once in sh and once in bash, each from a fresh rec.
sample_copy="$scratch/one/build/default/kordimalen-sim.wav"
cp "$sample_copy" "$scratch/sample-copy.wav"
usage_fails() { fail "the README's Usage blocks in $shell $1:"$'\n'"$(cat "$scratch/usage.txt")"; }
for shell in sh bash; do
  rm -rf "$scratch/one/build/default/rec"
  (cd "$scratch/one" && PATH=$(getconf PATH) timeout 60 "$shell" -c "$usage_blocks") > "$scratch/usage.txt" 2>&1 ||
    usage_fails "end with a failure"
  ! grep -qE "No such file or directory|can't cd|not found" "$scratch/usage.txt" || usage_fails "meet a missing file, folder or program"
  for copy in "$sample_copy" "$scratch/one/build/default/rec/kordimalen-sim.wav" \
    "$scratch/one/build/default/rec/kordimalen-live.wav"; do
    cmp -s "$scratch/sample-copy.wav" "$copy" || usage_fails "do not make $copy the sample's copy"
  done
  [ ! -e "$scratch/one/build/default/rec/live.wav" ] || usage_fails "leave the pipe"
  left=$(git -C "$scratch/one" status --porcelain --ignored --untracked-files=all | grep -v '^!! build/' || true)
  [ -z "$left" ] || usage_fails "leave $left"
done
pass
# The README's package lines, up to the install, which needs root: each makes
# the package that its install names, on this machine's architecture.
while read -r line; do
  runs "$scratch/one" "in a fresh clone" "${line%% && sudo *}"
  (cd "$scratch/one" && eval "test -f ${line##*install }") || fail "the README's line makes no ${line##*install }"
done <<< "$package_lines"
pass
source_release="kordimalen-$version.tar.gz"
cmake --build "$linux_build" --target source_release > /dev/null

# The source release holds the commit's files but CI's, and builds from itself
# outside git: the README's two set-up commands pass in it, and between them
# its install for one user (HOME a scratch folder here) converts and shows
# the manual page, and its removal leaves no file of that install. Its .deb,
# made once all is built, is the same as the one checked here.
tar tzf "$linux_build/$source_release" | grep -v '/$' | sed "s|^kordimalen-$version/||" | sort > "$scratch/released"
git -C "$repo" ls-files | grep -v -e '^\.ci/' -e '^\.gitignore$' | sort | diff - "$scratch/released" ||
  fail "the source release holds other files than the commit's"
mkdir "$scratch/unpacked"
tar xzf "$linux_build/$source_release" -C "$scratch/unpacked"
released="$scratch/unpacked/kordimalen-$version"
! git -C "$released" rev-parse --git-dir > /dev/null 2>&1 || fail "the source release is unpacked inside git"
runs "$released" "in the source release" "$sample_command"
mkdir "$scratch/home"
HOME="$scratch/home" runs "$released" "in the source release" "$install_command"
converts "$scratch/home/.local/bin/kordimalen"
renders "$scratch/home/.local/share/man/man1/kordimalen.1.gz"
HOME="$scratch/home" runs "$released" "in the source release" "$removal_command"
left=$(find "$scratch/home" -type f)
[ -z "$left" ] || fail "the README's removal leaves $left"
runs "$released" "in the source release" "$test_command"
(cd "$released/build/default" && cpack -G DEB > /dev/null)
cmp "$deb" "$released/build/default/kordimalen_${version}_amd64.deb"
pass

if [ -n "$windows_build" ]; then
  (cd "$windows_build" && rm -f ./*.zip && cpack -G ZIP > /dev/null)
  zip="$windows_build/kordimalen-$version-win64.zip"
  unzip -Z1 "$zip" | LC_ALL=C sort > "$scratch/zip-files"
  printf '%s\n' LICENSE.txt MANUAL.txt README.txt kordimalen-drop.exe kordimalen.exe | diff - "$scratch/zip-files" ||
    fail "the .zip holds other files"
  # Its texts are for Notepad: CR LF line ends. README.txt is for a Windows
  # user who never built software: lines of at most 78 characters, no
  # Markdown, nothing on Linux, building or tests, and a first screen that
  # says what the program does and where to drop recordings. MANUAL.txt is the
  # manual page with every message.
  for text in README.txt MANUAL.txt; do
    unzip -p "$zip" $text > "$scratch/$text"
    ! grep -qv $'\r$' "$scratch/$text" || fail "$text has a line without CR LF"
  done
  tr -d '\r' < "$scratch/README.txt" > "$scratch/readme-lf.txt"
  ! grep -qE '.{79}' "$scratch/readme-lf.txt" || fail "README.txt has lines over 78 characters"
  ! grep -qE '`|\*\*|\]\(|^ *\|' "$scratch/readme-lf.txt" || fail "README.txt holds Markdown"
  ! grep -qiE '(^|[^a-z])(cmake|apt-get|sudo|dnf|cpack|linux|posix|build|tests?|/dev/|man kordimalen)([^a-z]|$)' \
    "$scratch/readme-lf.txt" || fail "README.txt tells of Linux, building or tests"
  head -n 25 "$scratch/README.txt" | grep -q "converts a recording" &&
    head -n 25 "$scratch/README.txt" | grep -q "kordimalen-drop.exe" || fail "README.txt's first screen"
  grep -q "DIAGNOSTICS" "$scratch/MANUAL.txt" && grep -q "Failed to write output file" "$scratch/MANUAL.txt" ||
    fail "MANUAL.txt is not the manual page"
  pass
  # The manifest declares UTF-8 names and long paths.
  unzip -p "$zip" kordimalen.exe > "$scratch/kordimalen.exe"
  for setting in '<activeCodePage [^>]*>UTF-8<' '<longPathAware [^>]*>true<'; do
    grep -qa "$setting" "$scratch/kordimalen.exe" || fail "the program's manifest has no $setting"
  done
  pass

  # Unzipped into the folder that the README's PATH line puts on PATH:
  # cmd.exe runs the program by its bare name from another folder, and the
  # README's loop, run as written on recordings in C:\rec, hands every name
  # to it unchanged (each copy is the sample's conversion), names a broken
  # recording and ends with status 1, typed at the prompt and in a .bat file
  # with its loop variable written %%f.
  wine=${WINE64:-/usr/lib/wine/wine64}
  export WINEDEBUG=-all
  drive_c="${WINEPREFIX:-$HOME/.wine}/drive_c"
  folder=${path_line##*;}
  installed="$drive_c/${folder#C:\\}" && installed=${installed//\\//}
  for made in rec kordimalen-rec; do
    [ ! -e "$drive_c/$made" ] || fail "the Wine prefix has a C:\\$made, which the README's loop would use"
  done
  rm -rf "$installed" && mkdir -p "$installed" && unzip -q "$zip" -d "$installed"
  trap 'rm -rf "$scratch" "$installed" "$drive_c/rec" "$drive_c/kordimalen-rec"' EXIT
  converts "$installed/kordimalen.exe" "$wine"
  names=("жук.wav" "κλειδί.wav" "Bob’s.wav" 'a!b&c%d.wav' "with space.wav")
  mkdir -p "$drive_c/rec" "$scratch/loop"
  cp "$scratch/run/sim.wav" "$scratch/loop/"
  for name in "${names[@]}"; do cp "$scratch/run/sim.wav" "$drive_c/rec/$name"; done
  printf 'RIFX' > "$drive_c/rec/broken.wav"
  # The lines as typed at the prompt, from a file: Wine's cmd.exe drops lines
  # that follow in a pipe.
  dos_lines() { printf '%s\n' "$@" | sed 's/$/\r/'; }
  dos_lines "$path_line" "kordimalen sim.wav" "$cmd_loop" 'echo status %errorlevel%' > "$scratch/loop/typed.txt"
  dos_lines "$path_line" "$(sed 's/%f\([^a-z]\)/%%f\1/g' <<< "$cmd_loop")" 'echo status %errorlevel%' \
    > "$scratch/loop/loop.bat"
  loop_ran() {  # loop_ran HOW SHOWN
    for name in "${names[@]}"; do
      cmp "$scratch/run/kordimalen-sim.wav" "$drive_c/kordimalen-rec/$name" ||
        fail "the README's cmd.exe loop $1 made no copy of $name"
    done
    grep -qx 'Failed: rec\\broken.wav *' <<< "$2" && grep -q 'status 1$' <<< "$2" ||
      fail "the README's cmd.exe loop $1 does not name the failed recording and end with status 1: $2"
  }
  shown=$(cd "$scratch/loop" && "$wine" cmd < typed.txt | tr -d '\r')
  cmp "$scratch/run/kordimalen-sim.wav" "$scratch/loop/kordimalen-sim.wav" || fail "no conversion through PATH"
  loop_ran "typed at the prompt" "$shown"
  # The batch file makes its copies anew; cmd /c ends with its status, 1 here.
  rm -rf "$drive_c/kordimalen-rec"
  shown=$(cd "$scratch/loop" && "$wine" cmd /c loop.bat | tr -d '\r') || true
  loop_ran "in a .bat file" "$shown"
  pass

  # The zip's drop target, started as Explorer starts it: Wine puts each
  # argument on its command line quoted only when it holds a space. Every
  # recording of C:\rec, and the one in a folder given by its name, converts
  # beside itself to the Linux program's bytes; the broken one is named at the
  # end, and the status is 1.
  rm -f "$drive_c"/rec/kordimalen-*
  mkdir "$drive_c/rec/a folder" && cp "$scratch/run/sim.wav" "$drive_c/rec/a folder/in it.wav"
  dropped=()
  for name in "${names[@]}" broken.wav; do dropped+=("C:\\rec\\$name"); done
  status=0
  shown=$("$wine" "$installed/kordimalen-drop.exe" "${dropped[@]}" 'C:\rec\a folder' < /dev/null | tr -d '\r') ||
    status=$?
  for copy in "${names[@]/#/kordimalen-}" "a folder/kordimalen-in it.wav"; do
    cmp "$scratch/run/kordimalen-sim.wav" "$drive_c/rec/$copy" || fail "the drop target made no copy $copy: $shown"
  done
  [ "$status" -eq 1 ] && [ "$(tail -n 4 <<< "$shown")" = "Failed:
  C:\\rec\\broken.wav
    Error in .wav file header [1]
    incomplete copy left: C:\\rec\\kordimalen-broken.wav" ] ||
    fail "the drop target does not name the failed recording and end with status 1: $shown"
  pass

  # A console (a pseudo-terminal gives Wine's program one, in its default
  # code page) shows the names as typed, and a name's control characters
  # (ESC and BEL, U+009B) as \xHH, with no raw control left; the program as
  # older Windows run it (code page 1252) shows ’ as it is.
  console_shows() {  # console_shows PROGRAM NAME SHOWN
    # script hands its command to $SHELL, which may be any POSIX shell: the
    # name goes through the environment, never through quoting.
    shown=$(cd "$scratch/loop" && W=$wine P=$1 N=$2 SHELL=/bin/sh script -qc 'exec "$W" "$P" "$N"' /dev/null |
              tr -d '\r' | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g')
    grep -qF " Convert $3 to Kordimalen format (kordimalen-$3)" <<< "$shown" &&
      ! LC_ALL=C grep -qE $'[[:cntrl:]]|\xc2[\x80-\x9f]' <<< "$shown" || fail "the console shows $2 as: $shown"
  }
  for name in "Müller.wav" "жук.wav" "Bob’s.wav"; do
    cp "$scratch/run/sim.wav" "$scratch/loop/$name"
    console_shows "$installed/kordimalen.exe" "$name" "$name"
  done
  console_shows "$installed/kordimalen.exe" $'e\e]0;x\a.wav' 'e\x1B]0;x\x07.wav'
  console_shows "$installed/kordimalen.exe" $'c\xc2\x9b1m.wav' 'c\x9B1m.wav'
  console_shows "$windows_build/tests/kordimalen_ansi.exe" "Bob’s.wav" "Bob’s.wav"
  pass
fi
echo "packages: $checks passed, 0 failed"
