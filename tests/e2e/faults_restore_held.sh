#!/usr/bin/env bash
# The saved data tree cannot all come back: after the transfer (while its
# summary is open, so between the wipe and state 9) another program puts its
# own operator.txt into the new data tree and holds it open without sharing.
# State 9 cannot copy the user's operator.txt over it. The user is told that
# D:\TorneLixTemp keeps the saved files, and it does keep every one of them,
# byte for byte; the setup log says so too.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
# The user's files of the data tree: what the save keeps (its parameter files
# are left out of it).
saved_files=(Users/operator.txt config/Mill/machine.plc user.ini)
saved_before=$(cd "$data_product" && md5sum "${saved_files[@]}")

place_setup "$transfer_setup"
summary="保留参数成功"
start_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES" \
  --pause-at "$summary=$(winpath "$out/summary-box")"
wait_for_file "$out/summary-box.ready" 60 || { wait_setup; fail "no transfer summary: $(box_texts)"; }
expect_file "$temp_save/Users/operator.txt"
held="$data_product/Users/operator.txt"
mkdir -p "$(dirname "$held")"
printf 'operator list of another program\r\n' >"$held"
hold_file "$held"
on_exit_first release_file
touch "$out/summary-box"
wait_setup
release_file

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
expect_transcript 'box caption="Setup" buttons=OK text="无法将保存的文件全部恢复到D:\\Velko\\TorneLix。\n保存的文件保留在D:\\TorneLixTemp中。"'
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
pass "the restore that cannot complete is named with the directory that keeps the saved files"

expect_dir "$temp_save"
kept=$(cd "$temp_save" && find . -type f | sed 's|^\./||' | sort | paste -sd' ' -)
[ "$kept" = "$(printf '%s\n' "${saved_files[@]}" | sort | paste -sd' ' -)" ] || fail "D:\\TorneLixTemp holds: $kept"
kept_sums=$(cd "$temp_save" && md5sum "${saved_files[@]}" 2>&1) || true
[ "$kept_sums" = "$saved_before" ] || fail "the saved files changed: $kept_sums"
grep -q 'operator list of another program' "$held" || fail "the other program's file was replaced"
setup_log | tr -d '\r' | grep -qx '.*	数据文件未能全部恢复，保存的文件保留在D:\\TorneLixTemp' || fail "setup log: $(setup_log)"
grep -aq '^|E|RestoreSavedFiles: D:\\TorneLixTemp not restored whole to D:\\Velko\\TorneLix' "$temp_dir/TornelixSetupLog.txt" ||
  fail "no trace record of the incomplete restore"
expect_carried
pass "D:\\TorneLixTemp kept with every saved file byte for byte; setup log and trace record; both configurations carried"
