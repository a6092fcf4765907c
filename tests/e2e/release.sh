#!/usr/bin/env bash
# Builds the setup files the end-to-end cases install: the demo release, and
# the same release with the Packup setting.
set -euo pipefail
: "${TLX_WIN_BIN:?}" "${TLX_E2E_DATA:?}"
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$TLX_E2E_DATA"
bash "$root/scripts/make-demo-release.sh" "$TLX_WIN_BIN" "$TLX_E2E_DATA/base"
bash "$root/scripts/make-demo-release.sh" "$TLX_WIN_BIN" "$TLX_E2E_DATA/packup" --packup
# Wine draws the window captions itself (no window manager on Xvfb), so
# that screenshots show them.
envfile="${TLX_BED_DIR:-$root/build/wine}/env"
[ -f "$envfile" ] || bash "$root/scripts/winebed.sh" up >&2
# shellcheck disable=SC1090
. "$envfile"
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1 || true
for f in base packup; do
  [ -s "$TLX_E2E_DATA/$f/Setup.exe" ] || { echo "no setup file for $f" >&2; exit 1; }
done
echo "e2e release: $(ls -l "$TLX_E2E_DATA"/*/Setup.exe | awk '{print $5, $9}' | paste -sd' ' -)"
