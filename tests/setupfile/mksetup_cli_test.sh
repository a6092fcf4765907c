#!/usr/bin/env bash
# mksetup as a release engineer runs it: build a setup file, check it, and
# see the check refuse damaged and cut-short files with a one-line reason;
# the release's name and the digest a controller records; the setup.cfg
# check before a build; what is given by mistake.
#   mksetup_cli_test.sh MKSETUP [RUNNER]
set -u
mksetup=$1
runner=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
run() { if [ -n "$runner" ]; then "$runner" "$mksetup" "$@"; else "$mksetup" "$@"; fi; }
# Wine wants Windows-style paths only for what it cannot map; plain Unix paths work.
expect() { # expect CODE DESCRIPTION -- command...
  local want=$1 what=$2; shift 3
  local out rc
  out=$(run "$@" 2>&1); rc=$?
  if [ "$want" = 0 ] && [ $rc -ne 0 ] || [ "$want" != 0 ] && [ $rc -eq 0 ]; then
    echo "FAIL: $what: exit $rc: $out"; fail=1
  fi
  printf '%s' "$out" | tr -d '\r'
}

head -c 3000 /dev/urandom >"$work/program.exe"
head -c 5000 /dev/urandom >"$work/package.exe"
expect 0 "build" -- --no-cfg-check "$work/program.exe" "$work/package.exe" "$work/Setup.exe" >/dev/null
size=$(stat -c %s "$work/Setup.exe")
[ "$size" = 8024 ] || { echo "FAIL: setup file is $size bytes, want 8024"; fail=1; }
cmp -s -n 3000 "$work/program.exe" "$work/Setup.exe" || { echo "FAIL: program image differs"; fail=1; }
tail -c +3001 "$work/Setup.exe" | head -c 5000 | cmp -s - "$work/package.exe" || { echo "FAIL: package differs"; fail=1; }
digest=$(head -c 8000 "$work/Setup.exe" | md5sum | cut -c1-32)
trailer=$(tail -c 24 "$work/Setup.exe" | od -An -tx1 | tr -d ' \n')
[ "$trailer" = "b80b000000000000$digest" ] || { echo "FAIL: trailer $trailer"; fail=1; }

out=$(expect 0 "check good" -- --check "$work/Setup.exe")
case "$out" in *"package offset 3000, package size 5000"*"release name: none"*"recorded digest: $digest"*) ;;
  *) echo "FAIL: check output: $out"; fail=1 ;; esac

# A named release: the name lies under the digest, and --check prints both
# as the run state will record them.
printf '[Settings]\r\nPath=TorneLix\\\r\n' >"$work/good.cfg"
out=$(expect 0 "build named" -- --release "4.2 (r3)" --cfg "$work/good.cfg" "$work/program.exe" "$work/package.exe" \
  "$work/Named.exe")
named_digest=$(head -c $(($(stat -c %s "$work/Named.exe") - 24)) "$work/Named.exe" | md5sum | cut -c1-32)
case "$out" in *"release name: 4.2 (r3)"*"recorded digest: $named_digest"*) ;; *) echo "FAIL: named build: $out"; fail=1 ;; esac
out=$(expect 0 "check named" -- --check "$work/Named.exe")
case "$out" in *"release name: 4.2 (r3)"*"recorded digest: $named_digest"*) ;; *) echo "FAIL: named check: $out"; fail=1 ;; esac
expect 1 "a name an INI file would misread" -- --release '"quoted"' --no-cfg-check "$work/program.exe" \
  "$work/package.exe" "$work/bad-name.exe" >/dev/null
[ -e "$work/bad-name.exe" ] && { echo "FAIL: a refused name left a file"; fail=1; }

# What is given by mistake: the setup program itself to --check, a finished
# setup file as PROGRAM, a build without a word about setup.cfg.
out=$(expect 1 "check a bare program" -- --check "$work/program.exe")
case "$out" in *"not a setup file"*) ;; *) echo "FAIL: bare program: $out"; fail=1 ;; esac
out=$(expect 1 "a setup file as PROGRAM" -- --no-cfg-check "$work/Setup.exe" "$work/package.exe" "$work/twice.exe")
case "$out" in *"is a setup file already"*) ;; *) echo "FAIL: setup file as PROGRAM: $out"; fail=1 ;; esac
out=$(expect 1 "a build without the setup.cfg check" -- "$work/program.exe" "$work/package.exe" "$work/nocfg.exe")
case "$out" in *"--cfg SETUP_CFG"*"--no-cfg-check"*) ;; *) echo "FAIL: build without --cfg: $out"; fail=1 ;; esac
for f in twice nocfg; do [ -e "$work/$f.exe" ] && { echo "FAIL: $f.exe written"; fail=1; }; done

cp "$work/Setup.exe" "$work/bad.exe"
printf 'X' | dd of="$work/bad.exe" bs=1 seek=4000 conv=notrunc 2>/dev/null
out=$(expect 1 "check damaged" -- --check "$work/bad.exe")
[ "$(printf '%s\n' "$out" | wc -l)" = 1 ] || { echo "FAIL: reason is not one line: $out"; fail=1; }
case "$out" in *MD5*) ;; *) echo "FAIL: damaged reason: $out"; fail=1 ;; esac

head -c 8000 "$work/Setup.exe" >"$work/short.exe"
expect 1 "check cut short" -- --check "$work/short.exe" >/dev/null
head -c 10 "$work/Setup.exe" >"$work/tiny.exe"
expect 1 "check tiny" -- --check "$work/tiny.exe" >/dev/null
expect 1 "check missing" -- --check "$work/missing.exe" | grep -q "missing.exe: not found" ||
  { echo "FAIL: check of a missing file does not say so"; fail=1; }
expect 1 "usage" -- --bogus >/dev/null
expect 1 "missing input" -- --no-cfg-check "$work/missing.exe" "$work/package.exe" "$work/x.exe" |
  grep -q "PROGRAM .*missing.exe not found" || { echo "FAIL: a missing PROGRAM is not named"; fail=1; }

# A signed roll-out's staging check refuses a whole but unsigned file.
out=$(expect 1 "check --signed of an unsigned file" -- --check --signed "$work/Setup.exe")
case "$out" in *"not signed"*) ;; *) echo "FAIL: --signed reason: $out"; fail=1 ;; esac

# The release's setup.cfg under the setup's own rule and message: a Path in
# the Windows directory is refused with the setup's reason (GBK through a
# pipe; UTF-8 on a UTF-8 terminal), a relative one below the roots passes.
out=$(expect 0 "check-cfg good" -- --check-cfg "$work/good.cfg")
case "$out" in *'ok, Path=TorneLix\'*) ;; *) echo "FAIL: check-cfg good: $out"; fail=1 ;; esac
printf '[Settings]\r\nPath=C:\\Windows\\\r\n' >"$work/bad.cfg"
reason='设置 Path=C:\Windows\ 不能使用：它是系统目录或包含系统目录，或位于Windows目录中'
out=$(expect 1 "check-cfg of a Path in the Windows directory" -- --check-cfg "$work/bad.cfg")
case "$(printf '%s' "$out" | iconv -f GBK -t UTF-8)" in *"$reason"*) ;; *) echo "FAIL: check-cfg reason: $out"; fail=1 ;; esac
[ "$(printf '%s\n' "$out" | wc -l)" = 1 ] || { echo "FAIL: check-cfg reason is not one line: $out"; fail=1; }
# Harmless on a PC with a D: drive, the data root itself on a one-drive PC.
printf '[Settings]\r\nPath=C:\\Velko\r\n' >"$work/one-drive.cfg"
out=$(expect 1 "check-cfg of the one-drive data root" -- --check-cfg "$work/one-drive.cfg")
case "$(printf '%s' "$out" | iconv -f GBK -t UTF-8)" in *'它是安装目录或数据目录，或包含它们'*) ;;
  *) echo "FAIL: check-cfg of C:\\Velko: $out"; fail=1 ;; esac
# An absolute Path passes the setup's rule but no package puts the release
# there: refused by --check-cfg and by a build, which writes nothing.
printf '[Settings]\r\nPath=D:\\Other\\\r\n' >"$work/absolute.cfg"
out=$(expect 1 "check-cfg of an absolute Path" -- --check-cfg "$work/absolute.cfg")
case "$out" in *'Path=D:\Other\ is absolute'*) ;; *) echo "FAIL: check-cfg absolute: $out"; fail=1 ;; esac
out=$(expect 1 "build with an absolute Path" -- --cfg "$work/absolute.cfg" "$work/program.exe" "$work/package.exe" \
  "$work/absolute.exe")
case "$out" in *'is absolute'*) ;; *) echo "FAIL: build with an absolute Path: $out"; fail=1 ;; esac
[ -e "$work/absolute.exe" ] && { echo "FAIL: a refused setup.cfg left a setup file"; fail=1; }
expect 1 "check-cfg missing" -- --check-cfg "$work/missing.cfg" | grep -q "missing.cfg not found" ||
  { echo "FAIL: check-cfg of a missing file does not say so"; fail=1; }
if [ -z "$runner" ] && command -v script >/dev/null; then
  out=$(LC_ALL=C.UTF-8 script -qec "'$mksetup' --check-cfg '$work/bad.cfg'" /dev/null 2>&1)
  case "$out" in *"$reason"*) ;; *) echo "FAIL: not UTF-8 on a UTF-8 terminal: $out"; fail=1 ;; esac
fi

[ $fail = 0 ] && echo "mksetup command line: all checks passed"
exit $fail
