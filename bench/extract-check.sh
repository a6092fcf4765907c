#!/usr/bin/env bash
# Throughput of the setup file check (the file read in pieces through a 4 MB
# buffer, MD5 over everything before the trailer, trailer compared) on a
# 64 MB setup file, beside md5sum on the same file. Not a test: it prints
# MB/s, and the peak memory of both (constant, whatever the file's size).
#   bench/extract-check.sh [SIZE_MB]
# Uses build/native/bin/mksetup (libcrypto MD5) and, when built and Wine is
# available, build/win/bin/extract_probe.exe (the setup's own check:
# VerifySetupFileAt with CryptoAPI MD5). NATIVE_BUILD / WIN_BUILD override
# the build directories.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size_mb=${1:-64}
native=${NATIVE_BUILD:-$root/build/native}
win=${WIN_BUILD:-$root/build/win}
mksetup=$native/bin/mksetup
[ -x "$mksetup" ] || { echo "build the native configuration first ($mksetup)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c $((1024 * 1024)) /dev/urandom >"$work/program.exe"
head -c $(((size_mb - 1) * 1024 * 1024 - 24)) /dev/urandom >"$work/package.exe"
"$mksetup" --no-cfg-check "$work/program.exe" "$work/package.exe" "$work/Setup.exe" >/dev/null
bytes=$(stat -c %s "$work/Setup.exe")
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')
echo "setup file: $mb MB"
cat "$work/Setup.exe" >/dev/null # warm the page cache for every contender

best() { # best wall time in seconds of 5 runs of the command, to the 0.1 ms
  # (time's own figure has 10 ms steps: a tenth of the 64 MB check)
  local best=999 t start end
  for _ in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    t=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.4f", ns / 1e9 }')
    best=$(awk -v a="$best" -v b="$t" 'BEGIN { print (b < a) ? b : a }')
  done
  echo "$best"
}
rate() { awk -v m="$mb" -v s="$1" 'BEGIN { if (s <= 0) s = 0.0001; printf "%8.1f MB/s  (%.4f s)", m / s, s }'; }

t=$(best "$mksetup" --check "$work/Setup.exe")
echo "mksetup --check (native, libcrypto):           $(rate "$t")"
t=$(best md5sum "$work/Setup.exe")
echo "md5sum (whole file):                           $(rate "$t")"
peak() { /usr/bin/time -f %M -o "$work/mem" "$@" >/dev/null 2>&1; echo "$(($(tail -1 "$work/mem") / 1024)) MB"; }
echo "peak memory: mksetup --check $(peak "$mksetup" --check "$work/Setup.exe"), md5sum $(peak md5sum "$work/Setup.exe")"

probe=$win/bin/extract_probe.exe
if [ -f "$probe" ] && command -v wine >/dev/null; then
  # Timed inside the program, so Wine's start-up is not counted.
  echo -n "setup's check under Wine (CryptoAPI, in-process): "
  "$root/scripts/wine-run.sh" "$probe" --bench "$work/Setup.exe" 5 2>/dev/null | tr -d '\r'
  t=$(best "$root/scripts/wine-run.sh" "$win/bin/mksetup.exe" --check "$work/Setup.exe")
  echo "mksetup.exe --check under Wine (incl. start-up): $(rate "$t")"
else
  echo "(no $probe or no Wine: Windows figures skipped)"
fi
