#!/usr/bin/env bash
# The setup files of two broken newer releases for the fault cases, both
# copies of the transfer fixture's release: badfmt's tornelix.fmt has a
# syntax error (a missing ";"); amenddir ships config\Mill\amend.dat as a
# directory, which no merge can write.
set -euo pipefail
: "${TLX_WIN_BIN:?}" "${TLX_E2E_DATA:?}"
root=$(cd "$(dirname "$0")/../.." && pwd)
base="$TLX_E2E_DATA/transfer/release"
out="$TLX_E2E_DATA/faults/badfmt"
[ -d "$base" ] || { echo "no transfer release in $base (e2e_transfer_release fixture)" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out"
cp -r "$base" "$out/release"
fmt="$out/release/TorneLix/tornelix.fmt"
sed -i 's/^\(  double m_fSpeed\);/\1/' "$fmt"
grep -q '^  double m_fSpeed$' "$fmt" || { echo "the format was not broken" >&2; exit 1; }
printf 'release=badfmt\r\n' >"$out/release/TorneLix/release.txt"
bash "$root/scripts/package-release.sh" "$out/release" "$out/Setup.exe" "$TLX_WIN_BIN/Setup.exe"
[ -s "$out/Setup.exe" ] || { echo "no setup file of the broken release" >&2; exit 1; }
echo "e2e faults release: $(stat -c %s "$out/Setup.exe") bytes"

amenddir="$TLX_E2E_DATA/faults/amenddir"
rm -rf "$amenddir"
mkdir -p "$amenddir"
cp -r "$base" "$amenddir/release"
mill_amend="$amenddir/release/TorneLix/config/Mill/amend.dat"
rm -f "$mill_amend"
mkdir -p "$mill_amend"
printf 'not an amend file\r\n' >"$mill_amend/readme.txt"
printf 'release=amenddir\r\n' >"$amenddir/release/TorneLix/release.txt"
bash "$root/scripts/package-release.sh" "$amenddir/release" "$amenddir/Setup.exe" "$TLX_WIN_BIN/Setup.exe"
[ -s "$amenddir/Setup.exe" ] || { echo "no setup file of the release with a directory for amend.dat" >&2; exit 1; }
echo "e2e faults release with a directory for amend.dat: $(stat -c %s "$amenddir/Setup.exe") bytes"
