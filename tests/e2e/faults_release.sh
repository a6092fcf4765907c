#!/usr/bin/env bash
# The setup file of a broken newer release for the fault cases: the transfer
# fixture's release whose tornelix.fmt has a syntax error (a missing ";").
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
