#!/usr/bin/env bash
# Lays out a demo release of the control package and packs it into a setup
# file with package-release.sh. Used by demo.sh and the end-to-end tests.
#   make-demo-release.sh BIN_DIR OUT_DIR [--packup]
# BIN_DIR holds the Windows build (Setup.exe and the doubles of the outside
# programs); OUT_DIR receives release/ (the tree) and Setup.exe (the setup
# file; package-release.sh uses MKSETUP, default build/native/bin/mksetup).
# --packup adds a Packup.ini with Packup=1 to the product directory.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:?BIN_DIR}
out=${2:?OUT_DIR}
packup=${3:-}

rel="$out/release"
rm -rf "$rel"
mkdir -p "$rel"
crlf() { printf '%s\r\n' "$@"; }

# What the extractor puts below InstallRoot.
crlf '[Settings]' 'Path=TorneLix\' >"$rel/setup.cfg"
product="$rel/TorneLix"
mkdir -p "$product/Lang" "$product/config/Mill" "$product/config/Lathe"
cp "$bin/double_control.exe" "$product/Tornelix.exe"
crlf '[ActiveLang]' 'ActiveLang=eng' >"$product/Lang/Lang.ini"
crlf 'release=demo' >"$product/release.txt"
# A kernel driver file for the drivers directory.
printf 'TLXIO demo driver\r\n' >"$product/tlxio.sys"
# Configuration directories as the control program leaves them: data files,
# dated and zero-stamped copies, settings.
for cfg in Mill Lathe; do
  d="$product/config/$cfg"
  for f in Tornelix.dat Tornelix.dat.bak Tornelix-2016-12-21-09-10-43.dat Tornelix-0000-00-00-00-00-00.dat \
           Tornelix.dyn Tornelix.ini; do
    printf '%s %s\r\n' "$cfg" "$f" >"$d/$f"
  done
  crlf '[CController]' 'm_speed = 10' >"$d/amend.dat"
done
if [ "$packup" = --packup ]; then
  crlf '[Operation]' 'Packup=1' >"$product/Packup.ini"
fi
# The user tree that the setup carries into the data drive.
mkdir -p "$rel/User/TorneLix/Users"
crlf '[ActiveLang]' 'ActiveLang=chn' >"$rel/User/TorneLix/user.ini"
crlf 'operator' >"$rel/User/TorneLix/Users/operator.txt"
# Machine-level pieces.
mkdir -p "$rel/netsh" "$rel/System/directx"
cp "$bin/double_netsh_install.bat" "$rel/netsh/install.bat"
cp "$bin/double_installdrv.exe" "$rel/InstallDrv_x86.exe"
cp "$bin/double_installdrv.exe" "$rel/InstallDrv_x64.exe"
cp "$bin/double_firstrun.exe" "$rel/FirstRun.exe"
printf 'TLXDX demo system file\r\n' >"$rel/System/directx/tlxdx.dll"

bash "$root/scripts/package-release.sh" "$rel" "$out/Setup.exe" "$bin/Setup.exe"
