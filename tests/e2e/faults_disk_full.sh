#!/usr/bin/env bash
# The data drive runs full while the setup saves the data tree (state 3): D:
# is a small file system that holds the old data tree but not a second copy of
# it. The user's files of the data tree must survive all the same, the old
# parameter files must not come back, and the controller values (saved on C:)
# reach the new amend files.
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
grep -qE 'buttons=OK text="以下配置：\\n(Mill\\nLathe|Lathe\\nMill)\\n保留参数成功！\\n"' "$transcript" ||
  fail "no summary of Mill and Lathe: $(box_texts)"
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
pass "D: full during the save: the run goes on to the summary and the final message"

expect_carried
pass "the old controller values reach both new amend files"

after=$(cd "$data_product" && md5sum "${user_files[@]}" 2>&1) || true
[ "$after" = "$user_files_before" ] || fail "user files of the data tree: $after"
expect_no_parameter_files "$data_product"
expect_gone "$temp_save"
grep -aq '^|E|SaveParameterFiles: D:\\Velko\\TorneLix not copied whole to D:\\TorneLixTemp' "$temp_dir/TornelixSetupLog.txt" ||
  fail "no trace record of the failed save"
pass "every user file of the data tree kept, no old parameter file back, no save directory left"
