#!/usr/bin/env bash
# The new release's tornelix.fmt has a syntax error: it declares nothing the
# merge could filter by. The user is told for each configuration that the
# format may be destroyed; the release's own amend files stay as shipped (not
# emptied), and the saved old values stay in the work directory for a service
# engineer (paramtool merge) instead of being deleted.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

badfmt="$TLX_E2E_DATA/faults/badfmt"
clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"

place_setup "$badfmt/Setup.exe"
run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES"

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
reserve_failed='box caption="Setup" buttons=OK text="创建文件 *.dat 失败，保留参数不成功，文件 .fmt 可能已损坏，请重新启动安装程序，安装新的TorneLix。"'
[ "$(grep -cF -- "$reserve_failed" "$transcript")" = 2 ] || fail "not one format message per configuration: $(box_texts)"
expect_no_transcript 'text="以下配置：'
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
[ "$(box_texts | wc -l)" = 5 ] || fail "message boxes: $(box_texts)"
pass "broken new format: the format message for Mill and Lathe, no summary, the final message"

grep -q 'release=badfmt' "$product/release.txt" || fail "not the broken release"
for cfg in Mill Lathe; do
  cmp -s "$product/config/$cfg/amend.dat" "$badfmt/release/TorneLix/config/$cfg/amend.dat" ||
    fail "config/$cfg/amend.dat is not the release's: $(cat "$product/config/$cfg/amend.dat")"
done
pass "the release's amend files stay as shipped"

# The old values are still on the machine: the saved amend files.
for cfg in Mill Lathe; do expect_file "$param_work/${cfg}_amend.dat"; done
grep -qx 'm_fSpeed = 12.5' <(tr -d '\r' <"$param_work/Mill_amend.dat") || fail "Mill's saved values: $(cat "$param_work/Mill_amend.dat")"
grep -qx 'm_fSpeed = 40.5' <(tr -d '\r' <"$param_work/Lathe_amend.dat") || fail "Lathe's saved values: $(cat "$param_work/Lathe_amend.dat")"
grep -qx 'm_szName = "LATHE-B"' <(tr -d '\r' <"$param_work/Lathe_amend.dat") || fail "Lathe's saved text"
grep -aq '^|E|TransferParameters: .*tornelix.fmt unreadable, Mill_amend.dat kept' "$temp_dir/TornelixSetupLog.txt" ||
  fail "no trace record of the unreadable format"
pass "the saved old values of both configurations stay in %TEMP%\\tornleixTemp"
