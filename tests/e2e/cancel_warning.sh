#!/usr/bin/env bash
# An old installation and the user's Cancel at the wipe warning: the warning
# names the installation directory, the dialog closes, nothing is deleted.
. "$(dirname "$0")/lib.sh"

clean_machine
lay_out_old_installation
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
place_setup "$TLX_E2E_DATA/base/Setup.exe"
run_setup --try-keys --answer "警告=CANCEL"

expect_transcript 'buttons=OK,CANCEL text="警告！\n安装程序将删除(C:\\Program Files (x86)\\Velko\\)中的所有文件。'
expect_transcript "answer CANCEL"
[ "$(grep -c '^box ' "$transcript")" = 1 ] || fail "more than the warning: $(box_texts)"
expect_transcript "exit 2"
labels=$(grep '^label ' "$transcript" | awk '{print $2}' | paste -sd, -)
[ "$labels" = "140,141" ] || fail "labels shown: $labels"
expect_states "0,1"
after=$(snapshot "$install_root" "$D" "$desktop" "$programs")
[ "$before" = "$after" ] || fail "the machine changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
[ ! -s "$doubles_log" ] || fail "a program was started: $(cat "$doubles_log")"
pass "warning names the installation directory; Cancel ends the setup; nothing deleted"
