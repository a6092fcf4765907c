#!/usr/bin/env bash
# A package that fails half-way: it lays every other file of the new release
# and exits with code 7. Cancel at the Retry/Cancel box puts the previous
# release back byte for byte (program tree, data tree with its parameter
# files, shortcuts) and ends with exit code 4; Retry, with a package that
# succeeds the second time, ends as a normal run with nothing set aside left.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"

lay_out_rollback_machine
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
place_setup "$half_setup"
TLX_PACKAGE_FAIL_TIMES=9 run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES" --answer "安装包运行失败=CANCEL"
cp "$transcript" "$out/transcript-cancel.txt"
expect_transcript "exit 4"
expect_transcript '退出代码 7'
expect_transcript 'text="更新失败，原来的版本已恢复。安装程序退出。"'
expect_no_transcript "TorneLix安装完成!"
grep -q 'half laid' "$doubles_log" || fail "the package did not lay half a release"
after=$(snapshot "$install_root" "$D" "$desktop" "$programs")
[ "$before" = "$after" ] || fail "the machine is not as before: $(diff <(echo "$before") <(echo "$after") | head -20)"
expect_nothing_set_aside
setup_log | grep -q '更新失败，原来的版本已恢复' || fail "setup log: $(setup_log)"
pass "Cancel: every file of the program tree, the data tree and the shortcuts as before; exit code 4"

lay_out_rollback_machine
place_setup "$half_setup"
rm -f "$transcript"
TLX_PACKAGE_FAIL_TIMES=1 run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES" --answer "安装包运行失败=RETRY"
expect_transcript "exit 0"
expect_transcript "answer RETRY"
expect_transcript 'text="TorneLix安装完成!"'
expect_carried
grep -q 'release=transfer' "$product/release.txt" || fail "not the new release"
expect_only_kept_release
expect_gone "$temp_save"
pass "Retry: the second run of the package installs; values carried; only the kept previous release set aside"
