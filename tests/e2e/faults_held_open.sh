#!/usr/bin/env bash
# Another program holds a file of the old program tree open, without sharing,
# through the whole run: the wipe cannot delete it and the package cannot
# overwrite it. The parameters are kept all the same; the held file keeps its
# old contents.
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
run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES"
release_file

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
grep -qE 'buttons=OK text="以下配置：\\n(Mill\\nLathe|Lathe\\nMill)\\n保留参数成功！\\n"' "$transcript" ||
  fail "no summary of Mill and Lathe: $(box_texts)"
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
pass "the run goes through with the file held: summary of both configurations, final message"

# The held file kept its old contents; everything else is the new release.
grep -q 'old control program' "$held" || fail "the held file changed"
grep -q 'release=transfer' "$product/release.txt" || fail "not the new release"
cmp -s "$product/tornelix.fmt" "$transfer_release/TorneLix/tornelix.fmt" || fail "tornelix.fmt is not the new release's"
expect_file "$install_root/InstallDrv_x64.exe"
pass "the held file kept its old contents, the rest of the release is in place"

# No carried value is lost: the saves of state 2 and 3 came before the wipe.
expect_carried
expect_file "$data_product/Users/operator.txt"
expect_file "$data_product/config/Mill/machine.plc"
expect_gone "$temp_save"
pass "the old controller values reach both new amend files; the user's files are back"
