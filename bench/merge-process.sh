#!/usr/bin/env bash
# The merge as a setup run meets it: `paramtool merge` (MergeAmendFile) in a
# new process, one merge each, on the files of bench/amend-awk.sh for 100 000
# and 200 000 entries, the two sizes taking turns. Prints the median wall
# time of 7 merges of each size in ms. Inside one process the merges' figures
# swung by a tenth from run to run with the allocator's state, which a new
# process does not carry over.
#   NATIVE_BUILD=build/bench bench/merge-process.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool="${NATIVE_BUILD:-$here/../build/bench}/bin/paramtool"
[ -x "$tool" ] || { echo "merge-process: no $tool" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sizes=(100000 200000)
for n in "${sizes[@]}"; do
  mkdir -p "$work/$n"
  awk -v n="$n" -v dir="$work/$n" -f "$here/amend-files.awk"
done
for _ in 1 2 3 4 5 6 7; do
  for n in "${sizes[@]}"; do
    cp "$work/$n/amend.dat" "$work/$n/target.dat"
    start=$(date +%s%N)
    "$tool" merge "$work/$n/saved.dat" "$work/$n/target.dat" "$work/$n/format.fmt" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000)) >>"$work/$n.us"
  done
done
for n in "${sizes[@]}"; do
  median=$(sort -n "$work/$n.us" | sed -n 4p)
  lines=$(wc -l <"$work/$n/target.dat")
  printf 'paramtool merge (new process), %d entries each: %d.%03d ms (median of 7, %d lines written)\n' \
    "$n" $((median / 1000)) $((median % 1000)) "$lines"
done
