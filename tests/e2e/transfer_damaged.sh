#!/usr/bin/env bash
# Damaged parameter data files: Lathe's (data tree, found first) has no
# backup and is skipped; Mill's (program tree) has a whole .bak, which takes
# its place and is carried. The question still names both.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"

clean_machine
lay_out_transfer_machine
rm -f "$data_product/config/Mill/"* "$product/config/Lathe/"*
rmdir "$data_product/config/Mill" "$product/config/Lathe"
mkdir -p "$data_product/config/Lathe" "$product/config/Mill"
make_dat "$data_product/config/Lathe/tornelix.dat" --damaged "${lathe_values[@]}"
make_dat "$product/config/Mill/tornelix.dat" --damaged --backup "${mill_values[@]}"
cmp -s "$product/config/Mill/tornelix.dat" "$product/config/Mill/tornelix.dat.bak" && fail "Mill's data file is not damaged"

place_setup "$transfer_setup"
run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES"

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
expect_transcript 'buttons=YES,NO text="在重新装载软件时候，以下配置的参数可能可以被保留：\nLathe\nMill\n是否保留这些配置的参数？\n"'
expect_transcript 'buttons=OK text="以下配置：\nMill\n保留参数成功！\n"'
pass "both named in the question; only Mill in the summary"

expect_amend "$product/config/Mill/amend.dat" expected_mill
cmp -s "$product/config/Lathe/amend.dat" "$transfer_release/TorneLix/config/Lathe/amend.dat" ||
  fail "Lathe's amend.dat changed: $(cat "$product/config/Lathe/amend.dat")"
expect_gone "$temp_save"
expect_gone "$param_work"
log=$(setup_log)
grep -q '	参数迁移完成' <<<"$log" || fail "setup log lacks 参数迁移完成: $log"
pass "Mill restored from its backup and carried; Lathe skipped, its new amend.dat as shipped"
