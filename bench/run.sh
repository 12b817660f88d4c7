#!/usr/bin/env bash
# Conversion speed against cp of the same file, and peak memory.
#
#   bench/run.sh [--small] [--runs N] [BUILD_DIR]
#
# Generates its inputs (a 1 GiB 16-bit stereo recording with a "rcvr" chunk,
# the same with a 256 MiB "JUNK" chunk before "data", and a 1 MiB recording),
# then converts each N times (default 7), alternating with `cp` of the same
# input, and prints the median wall-time ratio converter/cp per input and the
# converter's peak resident memory. --small uses 4 MiB instead of 1 GiB and
# 1 MiB instead of 256 MiB, so that the script can be checked quickly.
# BUILD_DIR (default build/default) must hold kordimalen and make_recording.
set -euo pipefail

runs=7
big=$((1 << 30))
junk=$((256 << 20))
small=$((1 << 20))
build=build/default
while [ $# -gt 0 ]; do
  case "$1" in
    --small) big=$((4 << 20)); junk=$((1 << 20)); runs=3; shift ;;
    --runs) runs="$2"; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) build="$1"; shift ;;
  esac
done
converter="$(cd "$build" && pwd)/kordimalen"
maker="$(cd "$build" && pwd)/make_recording"
for tool in "$converter" "$maker" /usr/bin/time; do
  [ -x "$tool" ] || { echo "missing $tool (build first, or install the 'time' package)"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kordimalen-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
"$maker" recording.wav "$big"
"$maker" with-junk.wav "$big" "$junk"
"$maker" small.wav "$small"

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); if (NR % 2) print v[m]; else print (v[m] + v[m + 1]) / 2 }'; }

# One timed run of each, alternating, so that both see the same machine state.
measure() {
  local input="$1" cp_times=() conv_times=() i t0 t1
  for ((i = 0; i < runs; i++)); do
    # Each run starts with no dirty pages from the one before it, so that
    # neither pays for the other's write-back.
    rm -f copy.wav "kordimalen-$input"; sync
    t0=$(now); cp "$input" copy.wav; t1=$(now)
    cp_times+=($((t1 - t0)))
    rm -f copy.wav; sync
    t0=$(now); "$converter" "$input" > /dev/null; t1=$(now)
    conv_times+=($((t1 - t0)))
  done
  rm -f copy.wav "kordimalen-$input"
  local cp_med conv_med
  cp_med=$(printf '%s\n' "${cp_times[@]}" | median)
  conv_med=$(printf '%s\n' "${conv_times[@]}" | median)
  awk -v name="$input" -v size="$(stat -c %s "$input")" -v cp="$cp_med" -v conv="$conv_med" 'BEGIN {
    printf "%-15s %10.1f MiB   cp %8.3f s   kordimalen %8.3f s   ratio %.2f\n",
           name, size / 1048576, cp / 1e9, conv / 1e9, conv / cp }'
}

peak_kib() {
  /usr/bin/time -f %M -o rss.txt "$converter" "$1" > /dev/null
  rm -f "kordimalen-$1"
  cat rss.txt
}

echo "median of $runs runs each, converter/cp wall-time ratio:"
measure recording.wav
measure with-junk.wav
measure small.wav
small_rss=$(peak_kib small.wav)
big_rss=$(peak_kib recording.wav)
echo "peak resident memory: small.wav ${small_rss} KiB, recording.wav ${big_rss} KiB (difference $((big_rss - small_rss)) KiB)"
