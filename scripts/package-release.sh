#!/usr/bin/env bash
# Turns a release tree into a setup file in one step:
#   package-release.sh [--release NAME] [--sign CERT KEY] RELEASE_DIR OUT [SETUP_EXE]
# 1. mksetup --check-cfg applies the setup's own rule to the release's
#    setup.cfg, so that a Path every controller would refuse, or one the
#    package cannot install, is found here (before the slow part);
# 2. makensis builds a silent self-extracting package that, started with no
#    command line, puts RELEASE_DIR's contents into "$PROGRAMFILES32\Velko"
#    (the setup's InstallRoot) and exits;
# 3. mksetup appends that package, the release's NAME (--release) and the
#    trailer to SETUP_EXE (default build/win/bin/Setup.exe) and writes OUT;
# 4. with --sign, osslsigncode signs OUT (Authenticode, SHA-256) with the
#    certificate CERT and private key KEY (PEM files); the certificate table
#    follows the trailer, which the check finds through the PE header;
# 5. mksetup --check verifies the result (--check --signed when signing).
# The file is built under a temporary name beside OUT and takes OUT's name
# only when every step has succeeded: a failure leaves nothing behind (a file
# of OUT's name from an earlier run stays as it was), and the lines about the
# file are printed only once it has its name.
# MKSETUP names the mksetup to use (default build/native/bin/mksetup, else
# mksetup.exe beside SETUP_EXE under Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: $0 [--release NAME] [--sign CERT KEY] RELEASE_DIR OUT [SETUP_EXE]"

release_name="" sign_cert="" sign_key=""
while [ $# -gt 0 ]; do
  case $1 in
    --release)
      [ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
      release_name=$2
      shift 2 ;;
    --sign)
      [ $# -ge 3 ] || { echo "$usage" >&2; exit 2; }
      sign_cert=$2 sign_key=$3
      shift 3
      [ -f "$sign_cert" ] || { echo "package-release: certificate $sign_cert not found" >&2; exit 1; }
      [ -f "$sign_key" ] || { echo "package-release: private key $sign_key not found" >&2; exit 1; }
      command -v osslsigncode >/dev/null ||
        { echo "package-release: osslsigncode not found (apt-get install osslsigncode)" >&2; exit 1; } ;;
    *) break ;;
  esac
done
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  echo "$usage" >&2
  exit 2
fi
[ -d "$1" ] || { echo "package-release: release directory $1 not found" >&2; exit 1; }
release=$(cd "$1" && pwd)
out=$2
setup_exe=${3:-$root/build/win/bin/Setup.exe}
out_dir=$(dirname "$out")
[ -d "$out_dir" ] || { echo "package-release: directory $out_dir for $out not found" >&2; exit 1; }

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
name_args=()
[ -n "$release_name" ] && name_args=(--release "$release_name")
if [ -f "$release/setup.cfg" ]; then
  "${mksetup[@]}" --check-cfg "$release/setup.cfg" | tr -d '\r'
  cfg_args=(--cfg "$release/setup.cfg")
else
  echo "package-release: warning: $release has no setup.cfg; the setup will place the product at its roots" >&2
  cfg_args=(--no-cfg-check)
fi

# Everything this run makes is in $work or is $tmp_out, both removed on
# every way out; only the final rename leaves something.
work="" tmp_out=""
trap 'rm -rf "$work"; [ -z "$tmp_out" ] || rm -f "$tmp_out"' EXIT
trap 'exit 1' INT TERM HUP
work=$(mktemp -d)
# Beside OUT, so that the last step is a rename on one file system.
tmp_out=$(mktemp "$out_dir/.$(basename "$out").XXXXXX") ||
  { echo "package-release: cannot write in $out_dir" >&2; exit 1; }
tmp_name=$tmp_out
# mksetup's lines name the file by the name it will have; they are kept
# until the file has it.
as_out() {
  local line
  while IFS= read -r line; do
    line=${line%$'\r'}
    [[ $line == "$tmp_name"* ]] && line=$out${line#"$tmp_name"}
    printf '%s\n' "$line"
  done
}
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
"${mksetup[@]}" "${name_args[@]}" "${cfg_args[@]}" "$setup_exe" "$work/package.exe" "$tmp_out" >"$work/build.out" ||
  { as_out <"$work/build.out" >&2; echo "package-release: mksetup failed; $out not written" >&2; exit 1; }
check=(--check)
if [ -n "$sign_cert" ]; then
  osslsigncode sign -certs "$sign_cert" -key "$sign_key" -h sha256 -n "TorneLix Setup" \
    -in "$tmp_out" -out "$work/signed.exe" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; echo "package-release: signing failed; $out not written" >&2; exit 1; }
  mv -f "$work/signed.exe" "$tmp_out"
  check=(--check --signed)
fi
"${mksetup[@]}" "${check[@]}" "$tmp_out" >"$work/check.out" ||
  { as_out <"$work/check.out" >&2; echo "package-release: the check failed; $out not written" >&2; exit 1; }
chmod "$(printf '%o' $((0666 & ~$(umask))))" "$tmp_out" # mktemp made it private
mv -f "$tmp_out" "$out"
tmp_out=""
# The check's lines: the file as it ships, its release name and the digest
# the run state will record.
as_out <"$work/check.out"
