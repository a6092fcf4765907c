#!/usr/bin/env bash
# A setup file with one byte changed, and one cut short: "Bad Signature"
# before any warning, and nothing on the machine touched; the setup log says
# why the run stopped, that nothing changed and what to do.
. "$(dirname "$0")/lib.sh"

good="$TLX_E2E_DATA/base/Setup.exe"
size=$(stat -c %s "$good")
for damage in byte cut; do
  clean_machine
  lay_out_old_installation
  before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
  bad="$out/Setup-$damage.exe"
  cp "$good" "$bad"
  if [ $damage = byte ]; then
    # One byte in the package, between the program image and the trailer.
    offset=$((size - 24 - 4096))
    orig=$(od -An -tu1 -j "$offset" -N1 "$bad" | tr -d ' ')
    printf "$(printf '\\%03o' $(((orig + 1) % 256)))" | dd of="$bad" bs=1 seek="$offset" conv=notrunc status=none
  else
    truncate -s $((size - 1000)) "$bad"
  fi
  cmp -s "$good" "$bad" && fail "the $damage copy is not damaged"
  place_setup "$bad"
  rm -f "$transcript"
  run_setup --try-keys
  cp "$transcript" "$out/transcript-$damage.txt"

  [ "$(box_texts)" = '"Bad Signature"' ] || fail "$damage: message boxes: $(box_texts)"
  expect_transcript "exit 3"
  expect_states "0,1"
  after=$(snapshot "$install_root" "$D" "$desktop" "$programs")
  [ "$before" = "$after" ] || fail "$damage: the machine changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
  ! ls "$temp_dir"/sep*.tmp >/dev/null 2>&1 || fail "$damage: package written out"
  [ ! -s "$doubles_log" ] || fail "$damage: a program was started"
  # The cause beside the box's two words: a changed byte breaks the digest;
  # a copy cut short has no trailer at its end.
  if [ $damage = byte ]; then
    cause='安装文件的内容与它记录的MD5摘要不符（复制不完整或已损坏）'
  else
    cause='文件末尾没有安装包尾部（不是安装文件，或复制不完整）'
  fi
  setup_log | grep -qF "安装停止（退出代码 3）：Bad Signature：$cause。没有做任何更改；请重新复制安装文件后再运行。" ||
    fail "$damage: the setup log does not say why: $(setup_log)"
  pass "$damage: Bad Signature, no warning, nothing touched, the reason in the setup log"
done
