#!/usr/bin/env bash
# Setup.exe /S as a deployment engine runs it, where the exit code is all
# anyone reads: it may say 0 only when everything was done, and it may not
# give a machine's values up or move a running release aside unasked.
#   a file of the old program tree held open throughout: not 0 (it kept its old version)
#   the new release's amend.dat a directory (the merge cannot write): not 0
#   a configuration that cannot be carried: exit 9, both trees byte-identical;
#     with /GOON: installed, exit 1
#   a program running from the product directory, without the mutex (as the
#     control program in another session): /WAIT=5 exit 2, both trees
#     byte-identical; ending by itself within the wait: installed, exit 0
# The robot watches for windows; none may appear.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

silent_run() {
  local what=$1
  shift
  setup_args=(/S "$@")
  rm -f "$temp_dir/TornelixSetupLog.txt"
  run_setup --report-windows
  cp "$transcript" "$out/transcript-$what.txt"
  setup_log >"$out/SetUp-$what.log" || true
  expect_no_transcript "timeout"
  ! grep -qE '^(dialog|label|box|window|answer) ' "$transcript" ||
    fail "$what: the setup showed something: $(grep -E '^(dialog|label|box|window|answer) ' "$transcript" | head -5)"
  exit_code=$(sed -n 's/^exit //p' "$transcript")
  # The closing line of this run's record carries the same code.
  [ "$(setup_log | grep -F '静默安装结束，退出代码' | tail -1 | sed 's/.*退出代码 //' | tr -d '\r')" = "$exit_code" ] ||
    fail "$what: the setup log's closing line does not say $exit_code: $(setup_log | tail -3)"
}
expect_log() { setup_log | grep -qF -- "$1" || fail "setup log lacks: $1"; }
trees() { snapshot "$install_root" "$D"; }

# --- A held file of the old program tree: answered Cancel, it keeps its old
# version, and the new release is not whole.
clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
hold_file "$product/Tornelix.exe"
on_exit_first release_file
place_setup "$transfer_setup"
silent_run held
release_file
[ "$exit_code" != 0 ] || fail "held: exit 0 with a file of the old release left in place"
[ "$exit_code" = 8 ] || fail "held: exit $exit_code, expected 8"
expect_log '静默安装，自动回答CANCEL：文件(C:\Program Files (x86)\Velko\TorneLix\Tornelix.exe)正被其他程序使用'

cmp -s "$product/Tornelix.exe" "$transfer_release/TorneLix/Tornelix.exe" && fail "held: the held file was replaced after all"
pass "/S with a held file: exit 8, the held file named in the setup log"

# The same job again once the file is free: the release is not taken for
# installed, and the retry completes it.
silent_run held-retry
[ "$exit_code" = 0 ] || fail "the retry after 8: exit $exit_code, expected 0"
expect_log '此版本上次安装没有全部完成，重新安装以完成它'
cmp -s "$product/Tornelix.exe" "$transfer_release/TorneLix/Tornelix.exe" || fail "the retry after 8 left the old file in place"
tr -d '\r' <"$D/Velko/Boot/SetupState.ini" | grep -qx 'Outcome=installed' || fail "the retry's outcome: $(cat "$D/Velko/Boot/SetupState.ini")"
pass "the same /S after 8, the cause gone: exit 0, the release whole"

# --- The merge cannot write the new release's amend.dat.
clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
place_setup "$TLX_E2E_DATA/faults/amenddir/Setup.exe"
silent_run amenddir
[ "$exit_code" = 8 ] || fail "amenddir: exit $exit_code, expected 8"
expect_log '静默安装，未显示的消息：无法写入C:\Program Files (x86)\Velko\TorneLix\config\Mill\amend.dat'
[ "$(setup_log | grep -c '以下配置：')" = 1 ] || fail "amenddir: the transfer summary not once in the setup log"
expect_amend "$product/config/Lathe/amend.dat" expected_lathe
pass "/S when the merge cannot write: exit 8, the file named; the summary written once"

# --- A configuration that cannot be carried (Lathe, damaged, no backup).
damaged_machine() {
  clean_machine
  lay_out_transfer_machine
  make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
  rm -f "$product/config/Lathe/"*
  make_dat "$product/config/Lathe/tornelix.dat" --damaged "${lathe_values[@]}"
  place_setup "$transfer_setup"
}
damaged_machine
before=$(trees)
silent_run damaged
[ "$exit_code" = 9 ] || fail "damaged: exit $exit_code, expected 9"
expect_states "0,1,2"
[ "$before" = "$(trees)" ] || fail "damaged: the trees changed: $(diff <(echo "$before") <(trees) | head -20)"
expect_log '参数无法保留的配置：Lathe'
expect_log '静默安装，自动回答CANCEL：以下配置的参数无法读取或保存'
pass "/S with a configuration that cannot be carried: exit 9, Lathe named, both trees byte-identical"

damaged_machine
silent_run goon /GOON
[ "$exit_code" = 1 ] || fail "goon: exit $exit_code, expected 1"
grep -q 'release=transfer' "$product/release.txt" || fail "goon: not the new release"
expect_amend "$product/config/Mill/amend.dat" expected_mill
pass "/S /GOON: installed without Lathe's values, exit 1"

# --- A program running from the product directory, without the mutex.
runner_machine() {
  clean_machine
  lay_out_old_installation
  cp "$TLX_WIN_BIN/double_holdfile.exe" "$install_root/TorneLix/runner.exe"
  printf 'held by the runner\r\n' >"$out/runner-file.txt"
  place_setup "$TLX_E2E_DATA/base/Setup.exe"
}
start_runner() {
  rm -f "$out/runner-ready"
  # Its record goes to the case's output, not beside it into the tree.
  TLX_DOUBLE_LOG=$(winpath "$out/runner-record.log") \
    wine 'C:\Program Files (x86)\Velko\TorneLix\runner.exe' --file "$(winpath "$out/runner-file.txt")" \
    --ready-file "$(winpath "$out/runner-ready")" "$@" >/dev/null 2>&1 &
  runner_pid=$!
  wait_for_file "$out/runner-ready" 30 || fail "the program in the product directory did not start"
}
stop_runner() { if [ -n "${runner_pid:-}" ]; then touch "$out/runner-stop"; wait "$runner_pid" || true; runner_pid=; fi; }
on_exit_first stop_runner

runner_machine
rm -f "$out/runner-stop"
start_runner --until-file "$(winpath "$out/runner-stop")"
before=$(trees)
silent_run running /WAIT=5
stop_runner
[ "$exit_code" = 2 ] || fail "running: exit $exit_code, expected 2"
expect_states "0"
after=$(trees)
[ "$before" = "$after" ] || fail "running: the trees changed: $(diff <(echo "$before") <(echo "$after") | tr '\n' ' ' | head -c 2000)"
expect_log '安装目录中的程序仍在运行：C:\Program Files (x86)\Velko\TorneLix\runner.exe'
pass "/S /WAIT=5 while a program runs from the product directory: exit 2, both trees byte-identical"

runner_machine
start_runner --hold-ms 4000
silent_run runner_ends /WAIT=60 /NOPARAMS # the old data files are no data files
wait "$runner_pid" || true
runner_pid=
[ "$exit_code" = 0 ] || fail "runner_ends: exit $exit_code, expected 0"
grep -q 'release=demo' "$install_root/TorneLix/release.txt" || fail "runner_ends: not the demo release"
pass "/S when that program ends by itself within the wait: installed, exit 0"
