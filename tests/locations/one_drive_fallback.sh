#!/usr/bin/env bash
# A controller PC with a single fixed drive keeps its data on the program drive.
# Hides D: and the host's Z: from the test bed for one run of the probe.
set -euo pipefail
probe=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
. "${TLX_BED_DIR:-$root/build/wine}/env"
dd="$WINEPREFIX/dosdevices"
cp "$probe" "$WINEPREFIX/drive_c/locations_probe.exe"
restore() { ln -sfn "$TLX_DDRIVE" "$dd/d:"; ln -sfn / "$dd/z:"; }
trap restore EXIT
rm -f "$dd/d:" "$dd/z:"
out=$(wine 'C:\locations_probe.exe' | tr -d '\r')
echo "$out"
grep -qx 'DataRoot=C:\\Velko\\' <<<"$out"
grep -qx 'BootDir=C:\\Velko\\Boot\\' <<<"$out"
# The data tree's save goes to the drive that is there, not to a missing D:.
grep -qx 'TempSaveDir=C:\\TorneLixTemp\\' <<<"$out"
echo "one-drive fallback: ok"
