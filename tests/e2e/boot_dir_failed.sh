#!/usr/bin/env bash
# The boot directory cannot be made (a file stands in its place): the
# start-up message, no dialog, no log, nothing else.
. "$(dirname "$0")/lib.sh"

clean_machine
lay_out_old_installation
rm -rf "$D/Velko/Boot"
printf 'not a directory\r\n' >"$D/Velko/Boot"
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
place_setup "$TLX_E2E_DATA/base/Setup.exe"
run_setup

[ "$(box_texts)" = '"创建启动目录失败，请检查！"' ] || fail "message boxes: $(box_texts)"
expect_transcript 'box caption="Setup" buttons=OK text='
expect_no_transcript "dialog caption"
expect_transcript "exit 2"
after=$(snapshot "$install_root" "$D" "$desktop" "$programs")
[ "$before" = "$after" ] || fail "the machine changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
pass "boot directory message, no dialog, nothing changed"
