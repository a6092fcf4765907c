#!/usr/bin/env bash
# A setup file Authenticode-signed after mksetup, with a throw-away
# certificate: the signature verifies, mksetup --check and the setup accept
# it, and it installs like an unsigned one. The same file with one byte of
# its package changed fails the signature, mksetup --check and the setup
# ("Bad Signature", its cause in the setup log, nothing touched).
. "$(dirname "$0")/lib.sh"

command -v osslsigncode >/dev/null || fail "osslsigncode missing (apt-get install osslsigncode)"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$out/key.pem" -out "$out/cert.pem" -days 30 -subj "/CN=Test" \
  -addext "extendedKeyUsage=codeSigning" >/dev/null 2>&1 || fail "no throw-away certificate"
signed="$out/Setup-signed.exe"
osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -h sha256 \
  -in "$TLX_E2E_DATA/base/Setup.exe" -out "$signed" >"$out/sign.log" 2>&1 || fail "signing: $(cat "$out/sign.log")"
check() { wine "$TLX_WIN_BIN/mksetup.exe" --check "$(winpath "$1")" 2>&1 | tr -d '\r'; }

osslsigncode verify -CAfile "$out/cert.pem" -in "$signed" >"$out/verify.log" 2>&1 || fail "signature: $(cat "$out/verify.log")"
good_check=$(check "$signed")
case "$good_check" in *"ok (signed), package offset"*) ;; *) fail "mksetup --check: $good_check" ;; esac
pass "signature verifies, mksetup --check accepts the signed file"

clean_machine
place_setup "$signed"
run_setup --try-keys
expect_transcript "exit 0"
[ "$(box_texts)" = '"TorneLix安装完成!"' ] || fail "message boxes: $(box_texts)"
expect_states "0,1,2,5,6,7,8,10,12,15,16,20"
expect_file "$install_root/TorneLix/Tornelix.exe"
grep -q 'release=demo' "$install_root/TorneLix/release.txt" || fail "not the demo release"
! ls "$temp_dir"/sep*.tmp >/dev/null 2>&1 || fail "package directory left behind"
pass "the signed setup file installs the release"

# One byte of the package: right after the program image and its padding.
bad="$out/Setup-signed-bad.exe"
cp "$signed" "$bad"
offset=$(printf '%s\n' "$good_check" | sed -n 's/.*package offset \([0-9]*\),.*/\1/p')
offset=$((offset + 4096))
orig=$(od -An -tu1 -j "$offset" -N1 "$bad" | tr -d ' ')
printf "$(printf '\\%03o' $(((orig + 1) % 256)))" | dd of="$bad" bs=1 seek="$offset" conv=notrunc status=none
! osslsigncode verify -CAfile "$out/cert.pem" -in "$bad" >"$out/verify-bad.log" 2>&1 || fail "the changed file still verifies"
bad_check=$(check "$bad" || true)
case "$bad_check" in *"bad setup file: MD5 digest does not match"*) ;; *) fail "mksetup --check: $bad_check" ;; esac

clean_machine
lay_out_old_installation
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
place_setup "$bad"
rm -f "$transcript" "$doubles_log"
run_setup --try-keys
[ "$(box_texts)" = '"Bad Signature"' ] || fail "changed file: message boxes: $(box_texts)"
expect_states "0,1"
after=$(snapshot "$install_root" "$D" "$desktop" "$programs")
[ "$before" = "$after" ] || fail "the machine changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
[ ! -s "$doubles_log" ] || fail "a program was started"
# The box's "Bad Signature" reads like a certificate problem: the setup log
# says beside it that the copy does not match its digest.
setup_log | grep -qF '安装停止（退出代码 3）：Bad Signature：安装文件的内容与它记录的MD5摘要不符（复制不完整或已损坏）。' ||
  fail "the setup log does not give the cause beside Bad Signature: $(setup_log | tail -5)"
# /CHECK says the same in its report.
lines=$(setup_log | wc -l)
setup_args=(/S /CHECK)
rm -f "$transcript"
run_setup
setup_args=()
expect_transcript "exit 3"
setup_log | tail -n +$((lines + 1)) | grep -qF '安装文件：无法使用：Bad Signature（安装文件的内容与它记录的MD5摘要不符（复制不完整或已损坏））' ||
  fail "/CHECK does not give the cause beside Bad Signature: $(setup_log | tail -n +$((lines + 1)))"
pass "one changed package byte: signature, mksetup --check and the setup refuse it, the log says why; nothing touched"
