#!/usr/bin/env bash
# Mill's tornelix.dat is damaged and read-only, its backup whole: the backup
# cannot be copied over it, so the user sees the access-denied message with
# the file's name and error code 5. The run goes on, and Mill's values are
# still carried, read from the whole backup; Lathe is carried as usual.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

clean_machine
lay_out_transfer_machine
mill_dat="$data_product/config/Mill/tornelix.dat"
make_dat "$mill_dat" --backup --damaged "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
chmod a-w "$mill_dat"
damaged_sum=$(md5sum <"$mill_dat")

place_setup "$transfer_setup"
start_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES" --pause-at "访问参数配置文件失败=$(winpath "$out/access-box")"
wait_for_file "$out/access-box.ready" 60 || { wait_setup; fail "no access-denied message: $(box_texts)"; }
# While the message is open the read-only file is as it was: not replaced.
[ "$(md5sum <"$mill_dat")" = "$damaged_sum" ] || fail "the read-only data file was overwritten"
[ "$(stat -c %A "$mill_dat" | cut -c3)" = - ] || fail "the data file lost its read-only attribute"
touch "$out/access-box"
wait_setup

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
expect_transcript "box caption=\"Setup\" buttons=OK text=\"访问参数配置文件失败！文件名'D:\\\\Velko\\\\TorneLix\\\\config\\\\Mill\\\\tornelix.dat'，错误代码(5)。\""
grep -qE 'buttons=OK text="以下配置：\\n(Mill\\nLathe|Lathe\\nMill)\\n保留参数成功！\\n(Mill|Lathe)：保留[0-9]+个参数' "$transcript" ||
  fail "no summary of Mill and Lathe: $(box_texts)"
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
[ "$(box_texts | wc -l)" = 5 ] || fail "message boxes: $(box_texts)"
pass "access-denied message naming the file and code 5, the run goes on to the summary and the final message"

expect_carried
expect_file "$data_product/Users/operator.txt"
expect_gone "$temp_save"
expect_gone "$param_work"
pass "Mill's values carried from its whole backup, Lathe's from its data file; user files back"
