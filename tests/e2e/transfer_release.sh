#!/usr/bin/env bash
# The setup file of a newer release for the parameter transfer cases: the demo
# release (from the e2e_release fixture) with the format of transfer/new.fmt
# and amend files of its own in config\Mill and config\Lathe, each with an
# entry of an excluded member, a comment, a line without spaces around "="
# and, for Mill, a section after the controller section.
set -euo pipefail
: "${TLX_WIN_BIN:?}" "${TLX_E2E_DATA:?}"
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
base="$TLX_E2E_DATA/base/release"
out="$TLX_E2E_DATA/transfer"
[ -d "$base" ] || { echo "no demo release in $base (e2e_release fixture)" >&2; exit 1; }
rm -rf "$out"
mkdir -p "$out"
cp -r "$base" "$out/release"
product="$out/release/TorneLix"
crlf() { printf '%s\r\n' "$@"; }

cp "$here/transfer/new.fmt" "$product/tornelix.fmt"
crlf 'release=transfer' >"$product/release.txt"
crlf '; amend file of the new release (Mill)' '[CController]' 'm_fSpeed = 100' 'm_naLimit[0] = 50' \
  'm_fNewFeed = 7.5' 'm_nxaOffset[0] = 9' 'm_home.m_fX=0' '' '[Machine]' 'Type = Mill ; kind of machine' \
  >"$product/config/Mill/amend.dat"
crlf '[CController]' 'm_fSpeed = 80' 'm_nAxes = 2' 'm_fNewFeed = 3.25' 'm_nxWorkCoorPubOffset = 4' \
  >"$product/config/Lathe/amend.dat"

bash "$root/scripts/package-release.sh" --release "Transfer 2.0" "$out/release" "$out/Setup.exe" "$TLX_WIN_BIN/Setup.exe"
[ -s "$out/Setup.exe" ] || { echo "no transfer setup file" >&2; exit 1; }
echo "e2e transfer release: $(stat -c %s "$out/Setup.exe") bytes"
