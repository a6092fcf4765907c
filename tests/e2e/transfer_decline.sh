#!/usr/bin/env bash
# The same machine and release, but the user answers No: nothing is saved or
# merged, the new release's amend files stay as shipped, its user tree is
# laid in the data directory, and the operator's own files stay there
# (without the old parameter files).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"

clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" --backup "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"

place_setup "$transfer_setup"
run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=NO"

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_transcript "answer NO"
expect_states "0,1,2,5,6,7,8,10,12,15,16,20"
[ "$(box_texts | wc -l)" = 3 ] || fail "message boxes: $(box_texts)"
expect_no_transcript "以下配置："
pass "question answered No: no save, no transfer, no summary"

for cfg in Mill Lathe; do
  for f in amend.dat Tornelix.dyn Tornelix.ini Tornelix-0000-00-00-00-00-00.dat; do
    cmp -s "$product/config/$cfg/$f" "$transfer_release/TorneLix/config/$cfg/$f" ||
      fail "config/$cfg/$f is not the new release's: $(cat "$product/config/$cfg/$f")"
  done
done
# The data tree is the new release's user tree with the operator's files
# beside it; the old values are not.
cmp -s "$data_product/user.ini" "$transfer_release/User/TorneLix/user.ini" || fail "user.ini is not the new release's"
expect_file "$data_product/Users/operator.txt"
grep -q 'ladder of the machine' "$data_product/config/Mill/machine.plc" || fail "the operator's machine.plc is gone"
expect_no_parameter_files "$data_product"
expect_gone "$install_root/User"
expect_gone "$temp_save"
expect_gone "$param_work"
log=$(setup_log)
! grep -q '参数迁移' <<<"$log" || fail "setup log mentions a transfer: $log"
pass "the new release's amend files untouched, its user tree and the operator's files in place, no work directories, no transfer in the log"
