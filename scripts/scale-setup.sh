#!/usr/bin/env bash
# Scale run (not part of the test command): a setup file of SIZE_MB (default
# 1200) MB checked and run under Wine by the minimal setup program
# (extract_probe.exe: the setup's own check and extraction without its
# dialog), with the package double made that large by an overlay. Prints the
# setup process's peak resident memory (VmHWM, polled in /proc) and its wall
# time, beside md5sum on the same file; also mksetup --check's peak memory.
# Needs about 3 x SIZE_MB of free disk under TMPDIR and the bed's %TEMP%.
#   scripts/scale-setup.sh [SIZE_MB]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size_mb=${1:-1200}
win=${WIN_BUILD:-$root/build/win}
native=${NATIVE_BUILD:-$root/build/native}
probe=$win/bin/extract_probe.exe
package=$win/bin/double_package.exe
for f in "$probe" "$package" "$native/bin/mksetup"; do
  [ -f "$f" ] || { echo "scale-setup: build first ($f missing)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
free_mb=$(df -Pm "$work" | awk 'NR==2 {print $4}')
[ "$free_mb" -gt $((size_mb * 3 + 500)) ] || { echo "scale-setup: only $free_mb MB free" >&2; exit 1; }

cp "$package" "$work/package.exe"
head -c $((size_mb * 1024 * 1024)) /dev/zero | tr '\0' '\125' >>"$work/package.exe"
"$native/bin/mksetup" --no-cfg-check "$probe" "$work/package.exe" "$work/Setup.exe" >/dev/null
bytes=$(stat -c %s "$work/Setup.exe")
echo "setup file: $((bytes / 1048576)) MB ($bytes bytes)"
cat "$work/Setup.exe" >/dev/null
export TLX_DOUBLE_LOG="Z:$work/double.log" # not beside the package

# Peak resident memory (VmHWM) of any process whose command line matches $1
# (the largest), polled while the command after it runs.
peak_of() {
  local pattern=$1; shift
  "$@" >"$work/run.out" 2>&1 &
  local runner=$! peak=0 pid hwm
  while kill -0 "$runner" 2>/dev/null; do
    for pid in $(pgrep -f "$pattern" || true); do
      hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
      [ "${hwm:-0}" -gt "$peak" ] && peak=$hwm
    done
    sleep 0.05
  done
  wait "$runner" || { cat "$work/run.out" >&2; return 1; }
  echo "$peak"
}
seconds() { /usr/bin/time -f %e -o "$work/time" "$@" >/dev/null 2>&1; tail -1 "$work/time"; }

t=$(seconds md5sum "$work/Setup.exe")
echo "md5sum:                          ${t} s"
t0=$(date +%s.%N)
kb=$(peak_of 'Setup\.exe' "$root/scripts/wine-run.sh" "$work/Setup.exe")
t1=$(date +%s.%N)
echo "setup check + extraction (Wine): $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }') s, peak RSS $((kb / 1024)) MB"
grep -q '^start	package.exe' "$work/double.log" || { echo "scale-setup: the package did not run" >&2; exit 1; }
kb=$(peak_of 'bin/mksetup --check' "$native/bin/mksetup" --check "$work/Setup.exe")
t=$(seconds "$native/bin/mksetup" --check "$work/Setup.exe")
echo "mksetup --check (native):        ${t} s, peak RSS $((kb / 1024)) MB"
