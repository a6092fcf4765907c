#!/usr/bin/env bash
# Scale run of the real Setup.exe (not part of the test command; run by
# `scripts/bench.sh` with BENCH_SCALE=1, or by hand after the e2e fixtures):
# a setup file of SIZE_MB (default 1200) whose package is the double padded
# to that size. The package lays the demo release and copies its own file
# out; the run must end with the final message, the copy must equal the
# package byte for byte, and the peak resident memory of Setup.exe (VmHWM,
# polled) is printed beside md5sum of the same file.
#   TLX_WIN_BIN=... TLX_E2E_DATA=... TLX_E2E_OUT=... tests/e2e/scale_install.sh [SIZE_MB]
. "$(dirname "$0")/lib.sh"
size_mb=${1:-1200}
free_mb=$(df -Pm "$out" | awk 'NR==2 {print $4}')
[ "$free_mb" -gt $((size_mb * 4 + 500)) ] || { echo "SKIP [scale_install]: only $free_mb MB free"; exit 77; }

clean_machine
big="$out/big"
mkdir -p "$big"
cp "$TLX_WIN_BIN/double_package.exe" "$big/package.exe"
head -c $((size_mb * 1024 * 1024)) /dev/zero | tr '\0' '\125' >>"$big/package.exe"
wine "$TLX_WIN_BIN/mksetup.exe" --no-cfg-check "$(winpath "$TLX_WIN_BIN/Setup.exe")" "$(winpath "$big/package.exe")" \
  "$(winpath "$big/Setup.exe")" >"$out/mksetup.out" 2>&1 || fail "mksetup: $(cat "$out/mksetup.out")"
ln -sf "$big/Setup.exe" "$media/Setup.exe"
bytes=$(stat -c %s "$big/Setup.exe")
start=$(date +%s.%N)
md5sum "$big/Setup.exe" >/dev/null
md5_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')

export TLX_PACKAGE_TREE=$(winpath "$TLX_E2E_DATA/base/release")
export TLX_PACKAGE_INTO=$(winpath "$install_root")
export TLX_PACKAGE_COPY=$(winpath "$big/extracted.exe")
rm -f "$big/extracted.exe"
start=$(date +%s.%N)
ROBOT_TIMEOUT=900 start_setup
peak=0
while kill -0 "$robot_pid" 2>/dev/null; do
  for pid in $(pgrep -f 'Media.Setup\.exe' || true); do
    hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
    [ "${hwm:-0}" -gt "$peak" ] && peak=$hwm
  done
  sleep 0.1
done
wait_setup
setup_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
expect_transcript 'text="TorneLix安装完成!"'
expect_transcript "exit 0"
cmp -s "$big/extracted.exe" "$big/package.exe" || fail "the package was not extracted byte for byte"
rm -rf "$big"
echo "scale: setup file $((bytes / 1048576)) MB; Setup.exe peak RSS $((peak / 1024)) MB; whole install ${setup_s} s; md5sum ${md5_s} s"
pass "a $((bytes / 1048576)) MB setup file installed (final message, package extracted byte for byte), peak RSS $((peak / 1024)) MB"
