#!/usr/bin/env bash
# An update run again before the control program has started once: the data
# files were purged by the first run, so the machine's values are only in the
# merged amend files. The same setup file under /S changes nothing (exit 0,
# said in the setup log, the run state not calling it an install), in the
# window No changes nothing, /S /REINSTALL and the window's Yes install it
# again; then a newer release NEW2 under /S. After each: the values exact and
# every user file of the data tree byte for byte.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
unset TLX_PACKAGE_TREE TLX_PACKAGE_EXIT

# NEW2: the transfer release once more with another release text, laid by the
# package double: another setup file, another digest.
new2_release="$out/new2"
cp -r "$transfer_release" "$new2_release"
printf 'release=new2\r\n' >"$new2_release/TorneLix/release.txt"
new2_setup="$out/Setup-new2.exe"
wine "$TLX_WIN_BIN/mksetup.exe" --no-cfg-check "$(winpath "$TLX_WIN_BIN/Setup.exe")" "$(winpath "$TLX_WIN_BIN/double_package.exe")" \
  "$(winpath "$new2_setup")" >"$out/mksetup-new2.out" 2>&1 || fail "mksetup: $(cat "$out/mksetup-new2.out")"

# Every file of the data tree but the parameter files, with its checksum.
user_files() {
  (cd "$data_product" && find . -type f ! \( -iname 'tornelix*dat*' -o -iname 'amend.dat' -o -iname 'public.dat' \
    -o -iname 'ncpm.pmt' -o -iname 'tornelix.dyn*' \) -print0 | sort -z | xargs -0 md5sum)
}
expect_user_files() {
  local now
  now=$(user_files)
  [ "$now" = "$users" ] || fail "$1: user files differ: $(diff <(echo "$users") <(echo "$now") | head -10)"
}
machine_state() { snapshot "$install_root" "$D" | grep -v -e ' \./Velko/Boot\(/\|$\)'; }
state_file() { tr -d '\r' <"$D/Velko/Boot/SetupState.ini" | paste -sd' ' -; }
runs=0
run() {
  rm -f "$transcript" "$temp_dir/TornelixSetupLog.txt"
  run_setup "$@"
  cp "$transcript" "$out/transcript-$((++runs)).txt"
}

clean_machine
lay_out_rollback_machine
part_programs "$data_product" 50
users=$(user_files)
place_setup "$transfer_setup"
setup_args=(/S)
run
expect_transcript "exit 0"
expect_carried
expect_user_files "the first update"
expect_no_parameter_files "$data_product"
installed=$(state_file)
cp "$D/Velko/Boot/SetupState.ini" "$out/state-after-update.ini"

# --- The same setup file again under /S: nothing changes.
updated=$(machine_state)
run
expect_transcript "exit 0"
[ "$(machine_state)" = "$updated" ] || fail "the same release under /S changed the machine"
grep -qF -- '此版本已经安装，没有做任何更改' <<<"$(setup_log)" || fail "the setup log does not say it"
# What the engine reads on its output is written beside it in the log.
grep -qF -- '静默安装：此版本已经安装，没有做任何更改（/REINSTALL 重新安装）' <<<"$(setup_log)" || fail "the engine is not told"
[[ "$(state_file)" == "${installed%%\[LastRun\]*}"*'Outcome=already-installed ExitCode=0' ]] ||
  fail "run state: $(state_file) after $installed"
pass "the same setup file under /S: exit 0, nothing changed, said in the setup log, no new install in the run state"

# --- In the window: the question names the release, and Enter, its default,
# changes nothing.
setup_args=()
run --answer "已经安装在这台机器上=ENTER"
expect_transcript "exit 0"
expect_transcript 'box caption="Setup" buttons=YES,NO text="这个安装文件的版本 Transfer 2.0 已经安装在这台机器上（安装于'
expect_transcript "answer ENTER"
expect_no_transcript "是否保留这些配置的参数"
[ "$(machine_state)" = "$updated" ] || fail "Enter in the window changed the machine"
grep -qF -- '此版本已经安装，没有做任何更改' <<<"$(setup_log | tail -3)" || fail "the setup log does not say it: $(setup_log | tail -3)"

# --- /S /REINSTALL and the window's Yes install it again, the values carried
# from the amend files.
for args in "/S /REINSTALL" ""; do
  read -ra setup_args <<<"$args"
  run --answer "已经安装在这台机器上=YES" --answer "是否保留这些配置的参数=YES"
  expect_transcript "exit 0"
  expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
  expect_carried
  expect_user_files "the same release again (${args:-window})"
done
grep -qE 'text="在重新装载软件时候，以下配置的参数可能可以被保留：\\n(Mill\\nLathe|Lathe\\nMill)\\n是否保留' "$transcript" ||
  fail "the window's question does not name Mill and Lathe: $(box_texts)"
pass "window: the release named, Enter is No and changes nothing; /S /REINSTALL and the window's Yes: values exact, every user file whole"

# --- NEW2 with no start in between.
place_setup "$new2_setup"
setup_args=(/S)
TLX_PACKAGE_TREE=$(winpath "$new2_release") TLX_PACKAGE_INTO=$(winpath "$install_root") run
expect_transcript "exit 0"
grep -q 'release=new2' "$product/release.txt" || fail "NEW2 is not in place"
expect_carried
expect_user_files "NEW2 after NEW"
pass "NEW then NEW2 with no start in between: values exact, every user file whole"

# --- A run state on the data drive that names this release as installed,
# written by anyone: a report, never a reason to install nothing.
clean_machine
lay_out_rollback_machine
mkdir -p "$D/Velko/Boot"
cp "$out/state-after-update.ini" "$D/Velko/Boot/SetupState.ini"
place_setup "$transfer_setup"
setup_args=(/S)
run
expect_transcript "exit 0"
grep -qF -- '此版本已经安装' <<<"$(setup_log)" && fail "a hand-written run state made the setup skip the install"
expect_carried
[ "$(state_file)" != "$(tr -d '\r' <"$out/state-after-update.ini" | paste -sd' ' -)" ] || fail "the run state was not rewritten"
pass "a hand-written SetupState.ini naming the release: installed all the same"

# --- /REINSTALL keeps the way back: update, the same release again, then
# /ROLLBACK brings back the release before the update, not the same one.
clean_machine
lay_out_rollback_machine
old_program=$(snapshot "$install_root")
place_setup "$transfer_setup"
setup_args=(/S)
run
expect_transcript "exit 0"
kept_before=$(kept_tag)
setup_args=(/S /REINSTALL)
run
expect_transcript "exit 0"
[ "$(kept_tag)" = "$kept_before" ] || fail "/REINSTALL replaced the kept release"
grep -qF -- '同一版本重新安装，保留的上一版本不变' <<<"$(setup_log)" || fail "the setup log does not say the kept release stays"
setup_args=(/S /ROLLBACK)
run
expect_transcript "exit 0"
[ "$(snapshot "$install_root")" = "$old_program" ] || fail "/ROLLBACK after /REINSTALL did not bring back the release before the update"
pass "update, /REINSTALL, /ROLLBACK: the release before the update is back"

# --- The run state the next run trusts cannot be written (a folder stands in
# its place): the release is in place, but the run never says "done", and
# the same job run again, once the state can be written, installs and ends 0.
clean_machine
lay_out_rollback_machine
mkdir -p "$records/SetupState.ini"
place_setup "$transfer_setup"
setup_args=(/S)
run
expect_transcript "exit 8"
grep -qF -- '运行状态无法写入，安装未能记录，以代码 8 结束' <<<"$(setup_log)" || fail "the setup log does not say why 8"
expect_carried
rmdir "$records/SetupState.ini"
run
expect_transcript "exit 0"
grep -qF -- '此版本已经安装' <<<"$(tail -5 <<<"$(setup_log)")" && fail "taken for installed without a record"
pass "a run state that cannot be written: 8, and the same job run again ends with 0"
