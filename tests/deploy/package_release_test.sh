#!/usr/bin/env bash
# A release tree through package-release.sh and back out under Wine: the
# setup file (a minimal setup program plus the real self-extracting package)
# checks itself, runs the package, and the release lands in InstallRoot.
# A damaged copy is refused with "Bad Signature" and extracts nothing.
#   package_release_test.sh EXTRACT_PROBE_EXE MKSETUP_EXE
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
probe=$1
mksetup_exe=$2
runner=$root/scripts/wine-run.sh
command -v makensis >/dev/null || { echo "makensis missing (apt-get install nsis)"; exit 1; }
# The bed's environment (WINEPREFIX) tells where InstallRoot lies on disk.
"$runner" cmd /c exit >/dev/null 2>&1
# shellcheck disable=SC1090
. "${TLX_BED_DIR:-$root/build/wine}/env"
install_root="$WINEPREFIX/drive_c/Program Files (x86)/Velko"
# An empty InstallRoot left by another test is fine; an installation is not.
existed=0
if [ -e "$install_root" ]; then
  [ -z "$(ls -A "$install_root")" ] || { echo "the bed already holds an installation in $install_root"; exit 1; }
  existed=1
  rmdir "$install_root"
fi

work=$(mktemp -d)
trap 'rm -rf "$work" "$install_root"; [ $existed = 1 ] && mkdir -p "$install_root"' EXIT
fail=0

printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$runner" "$mksetup_exe" >"$work/mksetup"
chmod +x "$work/mksetup"
mkdir -p "$work/rel/TorneLix/config/Mill" "$work/rel/User/empty" "$work/rel/netsh"
printf '[Settings]\r\nPath=TorneLix\\\r\n' >"$work/rel/setup.cfg"
head -c 200000 /dev/urandom >"$work/rel/TorneLix/config/Mill/tornelix.dat"
printf 'm_a = 1\r\n' >"$work/rel/TorneLix/config/Mill/amend.dat"
printf '@echo off\r\n' >"$work/rel/netsh/install.bat"

out=$(MKSETUP="$work/mksetup" bash "$root/scripts/package-release.sh" --release "Demo 1.0" "$work/rel" "$work/Setup.exe" \
  "$probe") || { echo "FAIL: package-release"; exit 1; }
case "$out" in *"release name: Demo 1.0"*) ;; *) echo "FAIL: the release name is not named: $out"; fail=1 ;; esac

# A failed step leaves no setup file: a signing key that does not match its
# certificate, and a setup.cfg whose Path every controller would refuse
# (refused with the setup's own reason, before anything is built).
if command -v osslsigncode >/dev/null && command -v openssl >/dev/null; then
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 30 -subj "/CN=Test" \
    -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1
  openssl genrsa -out "$work/other.pem" 2048 >/dev/null 2>&1
  MKSETUP="$work/mksetup" bash "$root/scripts/package-release.sh" --sign "$work/cert.pem" "$work/other.pem" \
    "$work/rel" "$work/Signed.exe" "$probe" >"$work/sign.out" 2>&1 &&
    { echo "FAIL: packaging with a mismatched key succeeded"; fail=1; }
  ls -A "$work" | grep -q Signed && { echo "FAIL: a failed signing left $(ls -A "$work" | grep Signed)"; fail=1; }
  # Nothing is said of the file it refused.
  grep -q "package offset" "$work/sign.out" && { echo "FAIL: the refused file's lines: $(cat "$work/sign.out")"; fail=1; }
else
  echo "FAIL: osslsigncode or openssl missing"; fail=1
fi
# A failure leaves nothing behind, also in the temporary directory.
mkdir "$work/tmp"
TMPDIR="$work/tmp" MKSETUP="$work/mksetup" bash "$root/scripts/package-release.sh" "$work/rel" "$work/no/Setup.exe" \
  "$probe" >/dev/null 2>&1 && { echo "FAIL: packaged into a missing directory"; fail=1; }
[ -z "$(ls -A "$work/tmp")" ] || { echo "FAIL: a failed packaging left $(ls -A "$work/tmp")"; fail=1; }
cp -r "$work/rel" "$work/badrel"
printf '[Settings]\r\nPath=C:\\Windows\\\r\n' >"$work/badrel/setup.cfg"
out=$(MKSETUP="$work/mksetup" bash "$root/scripts/package-release.sh" "$work/badrel" "$work/BadCfg.exe" "$probe" 2>&1) &&
  { echo "FAIL: Path=C:\\Windows\\ packaged"; fail=1; }
case "$(printf '%s' "$out" | iconv -f GBK -t UTF-8)" in
  *'Path=C:\Windows\ 不能使用：它是系统目录或包含系统目录，或位于Windows目录中'*) ;;
  *) echo "FAIL: Path=C:\\Windows\\ not refused with the setup's reason: $out"; fail=1 ;;
esac
ls -A "$work" | grep -q BadCfg && { echo "FAIL: a refused setup.cfg left a setup file"; fail=1; }

cp "$work/Setup.exe" "$work/Bad.exe"
printf 'X' | dd of="$work/Bad.exe" bs=1 seek=1000 conv=notrunc 2>/dev/null
out=$("$runner" "$work/Bad.exe" 2>&1); rc=$?
[ $rc -ne 0 ] || { echo "FAIL: a damaged setup file extracted"; fail=1; }
case "$out" in *"message: Bad Signature"*) ;; *) echo "FAIL: no Bad Signature: $out"; fail=1 ;; esac
[ -e "$install_root" ] && { echo "FAIL: a damaged setup file touched InstallRoot"; fail=1; }

"$runner" "$work/Setup.exe" || { echo "FAIL: the setup file did not extract"; fail=1; }
for f in setup.cfg TorneLix/config/Mill/tornelix.dat TorneLix/config/Mill/amend.dat netsh/install.bat; do
  cmp -s "$work/rel/$f" "$install_root/$f" || { echo "FAIL: $f not extracted intact"; fail=1; }
done
[ -d "$install_root/User/empty" ] || { echo "FAIL: empty directory not created"; fail=1; }

[ $fail = 0 ] && echo "package-release: release extracted intact, damaged copy, mismatched key, missing directory and bad Path refused"
exit $fail
