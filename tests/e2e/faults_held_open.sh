#!/usr/bin/env bash
# Another program holds a file of the old program tree open, without sharing:
# the wipe cannot delete it, and the package could not overwrite it later. The
# setup names the file and waits; the user closes that program and clicks OK,
# the wipe is tried again and completes, and the whole new release goes in
# place. The parameters are kept all the same. (Cancel, going on with the
# file's old version, is covered by the progress dialog's unit test.)
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
printf 'old stray file\r\n' >"$install_root/old-only.txt"
held="$product/Tornelix.exe"
hold_file "$held"
on_exit_first release_file

place_setup "$transfer_setup"
in_use="正被其他程序使用"
start_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES" --answer "$in_use=OK" \
  --pause-at "$in_use=$(winpath "$out/in-use-box")"
wait_for_file "$out/in-use-box.ready" 60 || { wait_setup; fail "no file-in-use message: $(box_texts)"; }
# While the message is open the held file is still there.
expect_file "$held"
release_file
touch "$out/in-use-box"
wait_setup

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
expect_transcript 'box caption="Setup" buttons=OK,CANCEL text="文件(C:\\Program Files (x86)\\Velko\\TorneLix\\Tornelix.exe)正被其他程序使用，无法删除。\n请关闭该程序后按<确定>按钮重试；\n按<取消>按钮继续安装，该文件保留旧版本。"'
[ "$(grep -c "$in_use" "$transcript")" = 1 ] || fail "file-in-use messages: $(box_texts)"
grep -qE 'buttons=OK text="以下配置：\\n(Mill\\nLathe|Lathe\\nMill)\\n保留参数成功！\\n(Mill|Lathe)：保留[0-9]+个参数' "$transcript" ||
  fail "no summary of Mill and Lathe: $(box_texts)"
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
[ "$(box_texts | wc -l)" = 5 ] || fail "message boxes: $(box_texts)"
pass "the held file is named; after the other program ended, OK completes the wipe; summary and final message"

# The whole new release is in place, the held file included.
cmp -s "$held" "$transfer_release/TorneLix/Tornelix.exe" || fail "the held file kept its old contents"
grep -q 'release=transfer' "$product/release.txt" || fail "not the new release"
cmp -s "$product/tornelix.fmt" "$transfer_release/TorneLix/tornelix.fmt" || fail "tornelix.fmt is not the new release's"
expect_gone "$install_root/old-only.txt"
pass "the whole new release is in place, the once-held file included"

# No carried value is lost: the saves of states 2 and 3 came before the wipe.
expect_carried
expect_file "$data_product/Users/operator.txt"
expect_file "$data_product/config/Mill/machine.plc"
expect_gone "$temp_save"
pass "the old controller values reach both new amend files; the user's files are back"
