#!/usr/bin/env bash
# An unattended update (/S, parameters kept) of a controller whose data tree
# holds 1 000 part programs, then one whose tree holds 10 000 (200 MB), under
# Wine, beside the floor measured in the same run on the same machine: the
# same setup file's package run alone, as the setup runs it, plus one copy of
# the 10 000-program data tree (xcopy under Wine). The operator's files should
# cost the update next to nothing: ten times as many should hardly lengthen
# it, and the update should stay well below the package and one copy. Prints
# seconds; checks after each update that every part program came home.
#   WIN_BUILD=build/win bench/update-data-tree.sh   (scripts/bench.sh with BENCH_WIN_BUILD)
#   UPDATE_BENCH_PARTS="1000 10000"                 the sizes, smallest first (the floor's copy is of the last)
# Needs the Windows build and Wine (without them it says so and measures
# nothing); the setup file is made here from that build's Setup.exe, as the
# e2e fixtures make theirs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win=${WIN_BUILD:-$root/build/win}
[ -d "$win" ] && win=$(cd "$win" && pwd)
if [ ! -f "$win/bin/Setup.exe" ] || ! command -v wine >/dev/null || ! command -v makensis >/dev/null; then
  echo "(no Windows build in $win, or no Wine or makensis: the update row is not measured)"
  exit 0
fi
export TLX_WIN_BIN="$win/bin" TLX_E2E_DATA="$win/bench-data" TLX_E2E_OUT="$win/bench-out"
bash "$root/tests/e2e/release.sh" >/dev/null
bash "$root/tests/e2e/transfer_release.sh" >/dev/null
setup_file="$TLX_E2E_DATA/transfer/Setup.exe"
# shellcheck disable=SC1091
. "$root/tests/e2e/lib.sh"
# shellcheck disable=SC1091
. "$root/tests/e2e/transfer_lib.sh"
read -r -a sizes <<<"${UPDATE_BENCH_PARTS:-1000 10000}"

seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b - a) / 1e9 }'; }

lay_out_machine() {
  clean_machine
  lay_out_transfer_machine
  make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
  make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
  # 20 KB each, in ten folders of the operator's.
  python3 - "$data_product/Parts" "$parts" <<'PY'
import os, sys
root, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    d = os.path.join(root, "P%02d" % (i % 10))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "O%05d.nc" % i), "wb") as f:
        f.write(os.urandom(20480))
PY
  sync
}

# The updates, the smaller tree first.
for parts in "${sizes[@]}"; do
  lay_out_machine
  (cd "$data_product/Parts" && find . -type f -print0 | sort -z | xargs -0 md5sum) >"$out/parts-before.md5"
  mb=$(du -sm "$data_product" | cut -f1)
  place_setup "$setup_file"
  # Started as the package alone is, by one wine call: the same start-up
  # cost on both sides of the ratio. The release's stand-in driver
  # installer returns at once (it sleeps 3 s for the cases that wait for it):
  # a real one's run adds the same time to any update, however it is made.
  start=$(date +%s%N)
  rc=0
  TLX_DRIVER_HOLD_MS=0 wine 'C:\Media\Setup.exe' /S >/dev/null 2>&1 || rc=$?
  end=$(date +%s%N)
  update_s=$(seconds "$start" "$end")
  cp -f "$temp_dir/TornelixSetupLog.txt" "$out/TornelixSetupLog-$parts.txt" 2>/dev/null || true
  cp -f "$D/Velko/Boot/SetUp.log" "$out/SetUp-$parts.log" 2>/dev/null || true
  [ "$rc" = 0 ] || fail "the update of $parts part programs did not end with 0 ($rc): $(tail -3 "$out/SetUp-$parts.log")"
  (cd "$data_product/Parts" && md5sum --quiet -c "$out/parts-before.md5") >/dev/null ||
    fail "part programs did not all come home ($parts)"
  echo "update of a data tree of $parts part programs ($mb MB) under Wine: $update_s s"
done

# The package alone: the same bytes the setup runs, into an empty root.
read -r offset size < <(build_mksetup=$root/build/native/bin/mksetup
  if [ -x "$build_mksetup" ]; then "$build_mksetup" --check "$setup_file"; else
    wine "$win/bin/mksetup.exe" --check "$(winpath "$setup_file")" | tr -d '\r'; fi |
  sed -n 's/.*package offset \([0-9]*\), package size \([0-9]*\).*/\1 \2/p')
[ -n "${size:-}" ] || fail "no package offset in the setup file"
package="$out/package.exe"
tail -c +$((offset + 1)) "$setup_file" | head -c "$size" >"$package"
lay_out_machine
rm -rf "$install_root"
start=$(date +%s%N)
wine "$package" >/dev/null 2>&1 || fail "the package alone failed"
end=$(date +%s%N)
package_s=$(seconds "$start" "$end")
[ -f "$product/release.txt" ] || fail "the package alone laid no release"

# One copy of the same data tree on its own drive.
start=$(date +%s%N)
wine xcopy /E /I /H /K /Y /Q 'D:\Velko\TorneLix' 'D:\Velko\TreeCopy' >/dev/null 2>&1 || fail "xcopy failed"
end=$(date +%s%N)
copy_s=$(seconds "$start" "$end")
[ "$(find "$D/Velko/TreeCopy/Parts" -type f | wc -l)" -eq "$parts" ] || fail "xcopy copied only part of the tree"

echo "the same setup file's package alone under Wine: $package_s s"
echo "one copy of that data tree (xcopy under Wine), $parts part programs: $copy_s s"
