#!/usr/bin/env bash
# The data drive holds the data tree once and not twice: D: is a small file
# system. The data tree is set aside and comes home by renames on its own
# drive, so the update needs no room for a copy of it: the user's files all
# come home, the old parameter files do not, and the controller values (saved
# on C:) reach the new amend files.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

# D: becomes a 1 MB tmpfs for this case (root only; otherwise skipped).
clean_machine
small_d 1m || exit 77

lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
# A part program of the user's that fits once on D:, not twice.
head -c 600000 /dev/urandom >"$data_product/Users/part.nc"
user_files=(user.ini Users/operator.txt Users/part.nc config/Mill/machine.plc)
user_files_before=$(cd "$data_product" && md5sum "${user_files[@]}")
{ df -k "$D"; ls -lR "$data_product"; } >"$out/df-before.txt"

place_setup "$transfer_setup"
run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES"
{ df -k "$D"; ls -lR "$D"; } >"$out/df-after.txt"

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
grep -qE 'buttons=OK text="以下配置：\\n(Mill\\nLathe|Lathe\\nMill)\\n保留参数成功！\\n(Mill|Lathe)：保留[0-9]+个参数' "$transcript" ||
  fail "no summary of Mill and Lathe: $(box_texts)"
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
pass "D: too small for a second copy: the run goes on to the summary and the final message"

expect_carried
pass "the old controller values reach both new amend files"

after=$(cd "$data_product" && md5sum "${user_files[@]}" 2>&1) || true
[ "$after" = "$user_files_before" ] || fail "user files of the data tree: $after"
expect_no_parameter_files "$data_product"
expect_gone "$temp_save"
! grep -aq '^|E|.*data tree move\|^|E|RestoreSavedFiles' "$temp_dir/TornelixSetupLog.txt" ||
  fail "a file did not come home: $(grep -a '^|E|' "$temp_dir/TornelixSetupLog.txt")"
pass "every user file of the data tree home, no old parameter file back, no save directory left"
