#!/usr/bin/env bash
# A staged update against an unstaged one, under Wine, each on an identical
# controller (Mill and Lathe with values, a data tree of 10 000 part
# programs), the control program closed: the time of `/S` after `/S /STAGE`
# against the time of `/S` alone, for the same release of 150 MB and again of
# 50 MB. The staged run should take at most a quarter of the unstaged one and
# not grow with the release. Prints seconds; checks after each update that
# the release is in place, the staged one came from its stage, and every
# part program is whole.
#   WIN_BUILD=build/win bench/staged-update.sh   (scripts/bench.sh with BENCH_WIN_BUILD)
#   STAGE_BENCH_MB="50 150"                      the release sizes
#   STAGE_BENCH_PARTS=10000                      part programs in the data tree
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
win=${WIN_BUILD:-$root/build/win}
[ -d "$win" ] && win=$(cd "$win" && pwd)
if [ ! -f "$win/bin/Setup.exe" ] || ! command -v wine >/dev/null || ! command -v makensis >/dev/null; then
  echo "(no Windows build in $win, or no Wine or makensis: the staged update row is not measured)"
  exit 0
fi
export TLX_WIN_BIN="$win/bin" TLX_E2E_DATA="$win/bench-data" TLX_E2E_OUT="$win/bench-out"
bash "$root/tests/e2e/release.sh" >/dev/null
bash "$root/tests/e2e/transfer_release.sh" >/dev/null
# shellcheck disable=SC1091
. "$root/tests/e2e/lib.sh"
# shellcheck disable=SC1091
. "$root/tests/e2e/transfer_lib.sh"
read -r -a sizes <<<"${STAGE_BENCH_MB:-50 150}"
parts=${STAGE_BENCH_PARTS:-10000}

seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b - a) / 1e9 }'; }

# The transfer release with MB megabytes of program files that do not compress.
make_release() {
  local mb=$1 dir="$out/release-$1"
  rm -rf "$dir"
  cp -r "$transfer_release" "$dir"
  python3 - "$dir/TorneLix/bin" "$mb" <<'PY'
import os, sys
root, mb = sys.argv[1], int(sys.argv[2])
os.makedirs(root, exist_ok=True)
for i in range(mb):
    with open(os.path.join(root, "module%03d.dll" % i), "wb") as f:
        f.write(os.urandom(1 << 20))
PY
  bash "$root/scripts/package-release.sh" --release "Bench $mb" "$dir" "$out/Setup-$mb.exe" "$TLX_WIN_BIN/Setup.exe" \
    >"$out/package-$mb.out" 2>&1 || fail "package-release: $(tail -3 "$out/package-$mb.out")"
}

lay_out_machine() {
  clean_machine
  lay_out_transfer_machine
  make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
  make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
  python3 - "$data_product/Parts" "$parts" <<'PY'
import os, sys
root, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    d = os.path.join(root, "P%02d" % (i % 100))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "O%05d.nc" % i), "wb") as f:
        f.write(os.urandom(2048))
PY
  (cd "$data_product/Parts" && find . -type f -print0 | sort -z | xargs -0 md5sum) >"$out/parts-before.md5"
  sync
}

timed_update() { # what: the seconds of one /S
  local start end rc=0
  # One wine call, and the release's stand-in driver installer without its
  # 3 s wait, as in update-data-tree.sh: a real installer's run adds the same
  # time to a staged and an unstaged update.
  start=$(date +%s%N)
  TLX_DRIVER_HOLD_MS=0 wine 'C:\Media\Setup.exe' /S >/dev/null 2>&1 || rc=$?
  end=$(date +%s%N)
  [ "$rc" = 0 ] || fail "$1: exit $rc: $(setup_log | tail -3)"
  grep -q "release=transfer" "$product/release.txt" || fail "$1: not the release"
  (cd "$data_product/Parts" && md5sum --quiet -c "$out/parts-before.md5") >/dev/null || fail "$1: part programs differ"
  seconds "$start" "$end"
}

for mb in "${sizes[@]}"; do
  make_release "$mb"
  lay_out_machine
  place_setup "$out/Setup-$mb.exe"
  unstaged=$(timed_update "unstaged $mb MB")
  setup_log | grep -qF '暂存的版本已换入' && fail "the unstaged run used a stage"

  lay_out_machine
  place_setup "$out/Setup-$mb.exe"
  start=$(date +%s%N)
  silent_run /S /STAGE
  end=$(date +%s%N)
  grep -q '^exit 0' "$transcript" || fail "/S /STAGE $mb MB: $(tail -3 "$transcript")"
  stage_s=$(seconds "$start" "$end")
  staged=$(timed_update "staged $mb MB")
  setup_log | grep -qF '暂存的版本已换入' || fail "the staged run did not use its stage"
  echo "/S /STAGE, release of $mb MB, while the machine works, under Wine: $stage_s s"
  echo "unstaged update (/S), release of $mb MB, $parts part programs, under Wine: $unstaged s"
  echo "staged update (/S after /S /STAGE), release of $mb MB, $parts part programs, under Wine: $staged s"
done
