#!/usr/bin/env bash
# The new release ships config\Mill\amend.dat as a directory: the merge of
# Mill's saved values cannot write it. The user is told which file could not
# be written and where the saved values are kept, the setup log says the
# same, and %TEMP%\tornleixTemp\Mill_amend.dat still holds Mill's old values.
# Lathe is carried as usual, and the summary names Lathe alone.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

amenddir="$TLX_E2E_DATA/faults/amenddir"
clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"

place_setup "$amenddir/Setup.exe"
run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES"

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
target='C:\Program Files (x86)\Velko\TorneLix\config\Mill\amend.dat'
saved="$(winpath "$param_work")\\Mill_amend.dat"
# The transcript doubles backslashes and shows line breaks as \n.
expect_transcript "box caption=\"Setup\" buttons=OK text=\"无法写入${target//\\/\\\\}。\\n保存的参数保留在${saved//\\/\\\\}中。\""
[ "$(grep -c '保存的参数保留在' "$transcript")" = 1 ] || fail "not one saved-values message: $(box_texts)"
expect_transcript 'buttons=OK text="以下配置：\nLathe\n保留参数成功！\nLathe：保留'
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
pass "the amend.dat that cannot be written and the file keeping Mill's values named; summary of Lathe alone"

grep -q 'release=amenddir' "$product/release.txt" || fail "not the release with a directory for amend.dat"
expect_dir "$product/config/Mill/amend.dat"
expect_gone "$product/config/Mill/amend.dat.merge"
expect_amend "$product/config/Lathe/amend.dat" expected_lathe
expect_file "$param_work/Mill_amend.dat"
for entry in 'm_fSpeed = 12.5' 'm_naLimit[1] = 200' 'm_home.m_fX = -3.125' 'm_szName = "MILL-A"'; do
  grep -qxF "$entry" <(tr -d '\r' <"$param_work/Mill_amend.dat") || fail "Mill's saved values lack $entry: $(cat "$param_work/Mill_amend.dat")"
done
setup_log | grep -qF "无法写入$target，保存的参数保留在$saved" || fail "setup log: $(setup_log)"
pass "Mill's old values kept in %TEMP%\\tornleixTemp\\Mill_amend.dat and named in the setup log; Lathe carried"
