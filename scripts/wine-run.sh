#!/usr/bin/env bash
# Runs a Windows program in the project's Wine test bed (see winebed.sh).
# Used by ctest as the cross-compiling emulator and by the end-to-end tests.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
envfile="${TLX_BED_DIR:-$root/build/wine}/env"
if [ ! -f "$envfile" ]; then
  bash "$root/scripts/winebed.sh" up >&2 || exit 1
fi
# shellcheck disable=SC1090
. "$envfile"
exec wine "$@"
