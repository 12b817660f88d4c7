#!/usr/bin/env bash
# Conversion speed against cp of the same file, and peak memory.
#
#   bench/run.sh [--small | --check] [--runs N] [BUILD_DIR]
#
# Each mode writes its recordings (16-bit stereo, with a "rcvr" chunk), then
# runs the converter and `cp` of the same input in pairs, the order swapped
# from one pair to the next, each output removed and `sync` run before each
# run. It prints the median wall-time ratio converter/cp per input and the
# converter's peak resident memory.
#   (default)  a 1 GiB recording, the same with a 256 MiB "JUNK" chunk before
#              "data", and a 1 MiB one; 7 pairs each.
#   --small    4 MiB, 1 MiB and 1 MiB, 3 pairs each: checks the script itself.
#   --check    one 512 MiB recording, large enough for the file system's
#              write-back at close to show, 8 pairs; fails (status 1) when the
#              median ratio is above 1.30. Skipped, with the reason and status
#              0, where the temporary folder has less than 1.5 GiB free.
# BUILD_DIR (default build/default) must hold kordimalen and make_recording.
set -euo pipefail

mode=full
runs=7
build=build/default
while [ $# -gt 0 ]; do
  case "$1" in
    --small) mode=small; runs=3; shift ;;
    --check) mode=check; runs=8; shift ;;
    --runs) runs="$2"; shift 2 ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) build="$1"; shift ;;
  esac
done
limit=1.30
converter="$(cd "$build" && pwd)/kordimalen"
maker="$(cd "$build" && pwd)/make_recording"
for tool in "$converter" "$maker" /usr/bin/time; do
  [ -x "$tool" ] || { echo "missing $tool (build first, or install the 'time' package)"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kordimalen-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
case $mode in
  full)
    "$maker" recording.wav $((1 << 30))
    "$maker" with-junk.wav $((1 << 30)) $((256 << 20))
    "$maker" small.wav $((1 << 20)) ;;
  small)
    "$maker" recording.wav $((4 << 20))
    "$maker" with-junk.wav $((4 << 20)) $((1 << 20))
    "$maker" small.wav $((1 << 20)) ;;
  check)
    # The input, and one output or copy at a time, with room to spare.
    need_kib=$((1536 << 10))
    free_kib=$(df -Pk . | awk 'NR == 2 { print $4 }')
    if [ "$free_kib" -lt "$need_kib" ]; then
      echo "skipped: the check needs $((need_kib >> 10)) MiB free in $(dirname "$work"), which has $((free_kib >> 10)) MiB"
      exit 0
    fi
    "$maker" small.wav $((1 << 20))
    "$maker" recording.wav $((512 << 20)) ;;
esac

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { m = int((NR + 1) / 2); if (NR % 2) print v[m]; else print (v[m] + v[m + 1]) / 2 }'; }

# Runs one command after the outputs are removed and every dirty page is
# written back, so that no run pays for another's write-back; prints its time.
timed() {
  rm -f copy.wav "kordimalen-$input"; sync
  local t0 t1
  t0=$(now); "$@" > /dev/null; t1=$(now)
  echo $((t1 - t0))
}

# Pairs of runs, cp first in one pair and the converter first in the next, so
# that both see the same machine state. Sets `ratio`.
measure() {
  local input="$1" cp_times=() conv_times=() i
  for ((i = 0; i < runs; i++)); do
    if ((i % 2 == 0)); then
      cp_times+=("$(timed cp "$input" copy.wav)")
      conv_times+=("$(timed "$converter" "$input")")
    else
      conv_times+=("$(timed "$converter" "$input")")
      cp_times+=("$(timed cp "$input" copy.wav)")
    fi
  done
  rm -f copy.wav "kordimalen-$input"
  local cp_med conv_med
  cp_med=$(printf '%s\n' "${cp_times[@]}" | median)
  conv_med=$(printf '%s\n' "${conv_times[@]}" | median)
  ratio=$(awk -v cp="$cp_med" -v conv="$conv_med" 'BEGIN { printf "%.2f", conv / cp }')
  awk -v name="$input" -v size="$(stat -c %s "$input")" -v cp="$cp_med" -v conv="$conv_med" -v r="$ratio" 'BEGIN {
    printf "%-15s %10.1f MiB   cp %8.3f s   kordimalen %8.3f s   ratio %s\n",
           name, size / 1048576, cp / 1e9, conv / 1e9, r }'
}

peak_kib() {
  /usr/bin/time -f %M -o rss.txt "$converter" "$1" > /dev/null
  rm -f "kordimalen-$1"
  cat rss.txt
}

echo "median of $runs pairs each, converter/cp wall-time ratio:"
measure recording.wav
big_ratio=$ratio
if [ $mode != check ]; then
  measure with-junk.wav
  measure small.wav
fi
small_rss=$(peak_kib small.wav)
big_rss=$(peak_kib recording.wav)
echo "peak resident memory: small.wav ${small_rss} KiB, recording.wav ${big_rss} KiB (difference $((big_rss - small_rss)) KiB)"
if [ $mode = check ]; then
  if awk -v r="$big_ratio" -v l="$limit" 'BEGIN { exit !(r > l) }'; then
    echo "failed: converter/cp ratio $big_ratio is above the limit $limit"
    exit 1
  fi
  echo "passed: converter/cp ratio $big_ratio is within the limit $limit"
fi
