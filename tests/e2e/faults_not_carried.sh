#!/usr/bin/env bash
# Lathe's data file is damaged and has no backup: its values cannot be read.
# After the Yes to the parameter question, before anything is deleted, one
# OK/Cancel box names Lathe (and only Lathe: Mill is whole). The user clicks
# Cancel: the setup ends without the final message and the machine is as it
# was, file by file. (OK, going on without Lathe's values, is transfer_damaged.)
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" --damaged "${lathe_values[@]}"
printf 'shortcut\r\n' >"$desktop/Tornelix.lnk"
printf 'shortcut\r\n' >"$programs/Tornelix.lnk"
# Every file of the program tree, the data drive (the setup log, which every
# run appends to, left out) and the shortcuts, with its checksum.
machine_files() { snapshot "$install_root" "$D" "$desktop" "$programs"; }
machine_files >"$out/before.txt"
grep -q 'config/Lathe/tornelix.dat' "$out/before.txt" || fail "the snapshot misses the program tree"

place_setup "$transfer_setup"
run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES" --answer "以下配置的参数无法读取或保存=CANCEL"

expect_transcript "exit 2"
expect_no_transcript "timeout"
expect_states "0,1,2"
expect_transcript 'box caption="Setup" buttons=OK,CANCEL text="以下配置的参数无法读取或保存，将不会被保留：\nLathe\n按<确定>按钮，不保留这些参数继续安装。\n按<取消>按钮，退出安装程序，不做任何更改。"'
expect_transcript "answer CANCEL"
expect_no_transcript "TorneLix安装完成!"
[ "$(box_texts | wc -l)" = 3 ] || fail "message boxes: $(box_texts)"
pass "one OK/Cancel box naming Lathe alone after the question; Cancel ends the setup without the final message"

machine_files >"$out/after.txt"
diff "$out/before.txt" "$out/after.txt" >"$out/changed.txt" || fail "the machine changed: $(head -20 "$out/changed.txt")"
expect_gone "$temp_save"
expect_gone "$param_work"
log=$(setup_log)
tr -d '\r' <<<"$log" | grep -qx '.*	参数无法保留的配置：Lathe' || fail "setup log lacks the configuration not carried: $log"
grep -q '用户取消安装，未做任何更改' <<<"$log" || fail "setup log lacks the cancel: $log"
pass "program tree, data drive and shortcuts byte-identical; no save or work directory left; both in the setup log"
