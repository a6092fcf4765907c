#!/usr/bin/env bash
# Turns a release tree into a setup file in one step:
#   package-release.sh RELEASE_DIR OUT [SETUP_EXE]
# 1. makensis builds a silent self-extracting package that, started with no
#    command line, puts RELEASE_DIR's contents into "$PROGRAMFILES32\Velko"
#    (the setup's InstallRoot) and exits;
# 2. mksetup appends that package and the signed trailer to SETUP_EXE
#    (default build/win/bin/Setup.exe) and writes OUT;
# 3. mksetup --check verifies OUT.
# MKSETUP names the mksetup to use (default build/native/bin/mksetup, else
# mksetup.exe beside SETUP_EXE under Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "usage: $0 RELEASE_DIR OUT [SETUP_EXE]" >&2
  exit 2
fi
release=$(cd "$1" && pwd) || { echo "package-release: no release directory $1" >&2; exit 1; }
out=$2
setup_exe=${3:-$root/build/win/bin/Setup.exe}

[ -f "$setup_exe" ] || { echo "package-release: setup program $setup_exe not found (build it first)" >&2; exit 1; }
# The native mksetup, else the Windows one built beside the setup program
# (run in the Wine test bed).
if [ -n "${MKSETUP:-}" ]; then
  mksetup=("$MKSETUP")
elif [ -x "$root/build/native/bin/mksetup" ]; then
  mksetup=("$root/build/native/bin/mksetup")
elif [ -f "$(dirname "$setup_exe")/mksetup.exe" ]; then
  mksetup=("$root/scripts/wine-run.sh" "$(dirname "$setup_exe")/mksetup.exe")
else
  echo "package-release: no mksetup (build the native configuration, or set MKSETUP)" >&2
  exit 1
fi
command -v makensis >/dev/null || { echo "package-release: makensis not found (apt-get install nsis)" >&2; exit 1; }
[ -n "$(ls -A "$release")" ] || { echo "package-release: $release is empty" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$release" "$work/rel"

# File /r skips empty directories; the release may rely on some of them.
empty_dirs=""
while IFS= read -r -d '' dir; do
  rel=${dir#"$release"/}
  empty_dirs+="  CreateDirectory \"\$INSTDIR\\${rel//\//\\}\""$'\n'
done < <(find "$release" -mindepth 1 -type d -empty -print0)

cat >"$work/package.nsi" <<NSI
Unicode false
Name "TorneLix"
OutFile "package.exe"
InstallDir "\$PROGRAMFILES32\\Velko"
SilentInstall silent
SetCompressor /SOLID lzma

Section
  SetOutPath "\$INSTDIR"
  File /r "rel\\*"
${empty_dirs}SectionEnd
NSI

(cd "$work" && makensis -V2 -NOCD package.nsi) >&2
"${mksetup[@]}" "$setup_exe" "$work/package.exe" "$out" | tr -d '\r'
"${mksetup[@]}" --check "$out" | tr -d '\r'
