#!/usr/bin/env bash
# The reference of the amend merge: an awk hash join of the same three files
# amend_file_bench merges (a saved amend file and a target of N entries each,
# half of the keys shared, a format declaring them all). awk keeps the
# format's member names, the saved values by key, then writes the target's
# entries in order with the saved value where the key was saved, and the
# saved entries the target lacks, each only when the format declares it.
# Prints the best wall time of 3 runs in ms.
#   bench/amend-awk.sh [N]
set -euo pipefail
n=${1:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk -v n="$n" -v dir="$work" -f "$(dirname "$0")/amend-files.awk"

join() {
  awk '
    FILENAME == ARGV[1] { if ($1 != "field" && $NF ~ /;$/) { name = $NF; sub(/;$/, "", name); declared[name] = 1 } next }
    { sub(/\r$/, "") }
    FILENAME == ARGV[2] { if (index($0, "=")) { k = $1; v = $0; sub(/^[^=]*= */, "", v); if (!(k in old)) order[++count] = k; old[k] = v } next }
    FILENAME == ARGV[3] {
      if ($0 ~ /^\[/) { print $0 "\r"; next }
      k = $1; v = $0; sub(/^[^=]*= */, "", v)
      if (k in old) { v = old[k]; used[k] = 1 }
      if (k in declared) printf "%s = %s\r\n", k, v
    }
    END { for (i = 1; i <= count; ++i) { k = order[i]; if (!(k in used) && (k in declared)) printf "%s = %s\r\n", k, old[k] } }
  ' "$work/format.fmt" "$work/saved.dat" "$work/amend.dat" >"$work/merged.dat"
}

best=999999
for _ in 1 2 3; do
  start=$(date +%s%N)
  join
  end=$(date +%s%N)
  ms=$(((end - start) / 1000000))
  [ "$ms" -lt "$best" ] && best=$ms
done
lines=$(wc -l <"$work/merged.dat")
echo "awk hash join ($(awk --version 2>/dev/null | head -1 | cut -d, -f1 || echo awk)), $n entries each: $best ms ($lines lines written)"
