#!/usr/bin/env bash
# A power cut while the package runs: every process of the prefix is killed
# with half of the new release laid. Running the same kind of setup file
# again tells the user, puts the previous release and its data back, and goes
# on as a normal run: the new release in place, the machine's values carried
# exactly as in an uninterrupted run, the user's files back.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"

lay_out_rollback_machine
user_files_before=$(cd "$data_product" && md5sum user.ini Users/operator.txt config/Mill/machine.plc)
place_setup "$half_setup"
rm -f "$out/hang"
TLX_PACKAGE_FAIL_TIMES=9 TLX_PACKAGE_HANG_FILE=$(winpath "$out/hang") \
  start_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES"
wait_for_file "$out/hang" 120 || fail "the package never got half-way: $(cat "$transcript" 2>/dev/null)"
wineserver -k
wait_setup
expect_file "$records/SetUp.journal"
expect_dir "${install_root}.previous"
pass "cut with half a release laid and the journal on the data drive"

unset TLX_PACKAGE_TREE
place_setup "$transfer_setup"
rm -f "$transcript"
run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES"
expect_transcript "exit 0"
expect_transcript 'text="上次安装没有完成（断电或中断）。\n原来的版本及其数据已恢复，现在重新安装。"'
expect_transcript 'buttons=YES,NO text="在重新装载软件时候，以下配置的参数可能可以被保留：\nMill\nLathe\n是否保留这些配置的参数？\n"'
expect_transcript 'text="TorneLix安装完成!"'
expect_carried
grep -q 'release=transfer' "$product/release.txt" || fail "not the new release"
after=$(cd "$data_product" && md5sum user.ini Users/operator.txt config/Mill/machine.plc 2>&1) || true
[ "$after" = "$user_files_before" ] || fail "user files: $after"
expect_only_kept_release
expect_gone "$temp_save"
expect_gone "$param_work"
pass "the next run undid the cut one, then carried Mill and Lathe into the new release"
