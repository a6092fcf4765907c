#!/usr/bin/env bash
# The data drive D: is gone (a failed or unplugged disk): the setup keeps its
# data tree on the program drive, C:\Velko\, as on a PC with one fixed drive.
# The old data tree there and the program tree's configurations are carried
# over; nothing is written to a drive that is not there.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

clean_machine
data_product="$C/Velko/TorneLix"
lay_out_transfer_machine
rm -rf "${D:?}"/*
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
user_files_before=$(cd "$data_product" && md5sum user.ini Users/operator.txt config/Mill/machine.plc)
place_setup "$transfer_setup"

# The host's root (Z:) is a fixed drive too: hidden as well, or the data
# tree would land there.
on_exit_first restore_drives
rm -f "$dosdevices/d:" "$dosdevices/z:"
run_setup_from_c --answer "警告=OK" --answer "是否保留这些配置的参数=YES"

restore_drives
expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
expect_transcript 'text="在重新装载软件时候，以下配置的参数可能可以被保留：\nMill\nLathe\n是否保留这些配置的参数？\n"'
grep -qE 'buttons=OK text="以下配置：\\n(Mill\\nLathe|Lathe\\nMill)\\n保留参数成功！\\n(Mill|Lathe)：保留[0-9]+个参数' "$transcript" ||
  fail "no summary of Mill and Lathe: $(box_texts)"
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
[ "$(box_texts | wc -l)" = 4 ] || fail "message boxes: $(box_texts)"
pass "no D:: warning, question naming Mill (C:\\Velko) and Lathe, summary, final message"

expect_carried
pass "the old controller values reach both new amend files"

# The user's files of the data tree on C: are back; the boot directory and
# its setup log are there too.
after=$(cd "$data_product" && md5sum user.ini Users/operator.txt config/Mill/machine.plc 2>&1) || true
[ "$after" = "$user_files_before" ] || fail "user files of C:\\Velko\\TorneLix: $after"
expect_no_parameter_files "$data_product"
iconv -f GBK -t UTF-8 "$C/Velko/Boot/SetUp.log" | grep -q '	参数迁移完成' || fail "no setup log on C:"
expect_gone "$param_work"
expect_gone "$C/TorneLixTemp"
[ -z "$(ls -A "$D")" ] || fail "written to the missing drive's directory: $(ls -A "$D")"
pass "user files of C:\\Velko\\TorneLix back, setup log on C:, nothing left behind"
