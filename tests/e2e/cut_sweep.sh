#!/usr/bin/env bash
# A cut at every instant of a normal update: every process of the prefix is
# killed as each state begins (its record in the trace log), twice while
# state 5 sets the release aside beside a data tree of a few thousand part
# programs that stay in place, in state 9, once while the next start is
# itself undoing a cut run, and while the package runs on a machine whose
# part programs have names the code page cannot hold or a 245-character path. Each time the run
# after the cut ends with the final message, the values carried exactly as in
# an uninterrupted run, every user file byte-identical, the machine's own
# driver and system files back before the new ones went in, nothing set aside
# and no journal left; the same inside the switch of a staged update. At five instants the operator saves part programs
# into the data tree between the cut and the next start: they are there
# after it, byte for byte.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
package_tree=$TLX_PACKAGE_TREE
unset TLX_PACKAGE_TREE

trace_log="$temp_dir/TornelixSetupLog.txt"

# The machine is laid out once per size and unpacked for each instant.
machine_files() {
  printf '%s\n' "${install_root#/}" "${D#/}" "${desktop#/}/Tornelix.lnk" "${programs#/}/Tornelix.lnk" \
    "${system_dir#/}/drivers/tlxio.sys"
}
pack_machine() {
  clean_machine
  lay_out_rollback_machine
  part_programs "$data_product" "$1"
  # The big machine's old release has 2 000 help pages in its program tree:
  # its set-aside, and its undo's way back, take long enough to be cut in.
  [ "$1" -lt 1000 ] || python3 - "$product/Help" <<'PY'
import os, sys
os.makedirs(sys.argv[1], exist_ok=True)
for i in range(2000):
    with open(os.path.join(sys.argv[1], "page%04d.htm" % i), "w") as f:
        f.write("<p>help page %d</p>\n" % i)
PY
  mkdir -p "$system_dir/drivers"
  printf 'the machine'"'"'s own driver\r\n' >"$system_dir/drivers/tlxio.sys"
  machine_files | tar -C / -cf "$2" -T -
}
small_machine="$out/machine-small.tar"
big_machine="$out/machine-big.tar"
pack_machine 60 "$small_machine"
pack_machine 3000 "$big_machine"
lay_out_sweep_machine() {
  clean_machine
  rm -f "$package_runs"
  tar -C / -xf "$1"
  shift_files=
}
# The operator's work between the cut and the next start.
write_after_cut() {
  local i
  mkdir -p "$data_product/Shift"
  for ((i = 0; i < 5; i++)); do printf 'O%d\r\n(saved after a cut %s)\r\nM30\r\n' $((8000 + i)) "$1" >"$data_product/Shift/S$i.nc"; done
  shift_files=$(cd "$data_product" && md5sum Shift/S*.nc)
}
user_files() {
  (cd "$data_product" && { find user.ini Users Parts config/Mill/machine.plc -type f -print0
    find . -maxdepth 1 -name '*.nc' -print0; } | sort -z | xargs -0 md5sum)
}

reached_state() { grep -aq "^|S|state $1 " "$trace_log" 2>/dev/null; }
aside_files() { find "$D/Velko.previous" -type f 2>/dev/null | wc -l; }
# Polls until the condition holds; fails the case when the run ended first.
cut_when() {
  local i
  for ((i = 0; i < 1200; i++)); do
    if "$@"; then
      wineserver -k
      wait "$robot_pid" || true
      return 0
    fi
    if ! kill -0 "$robot_pid" 2>/dev/null; then
      "$@" && return 0 # it got there and ended before the poll: no cut
      fail "the run ended before: $*; $(tail -3 "$transcript" 2>/dev/null)"
    fi
    sleep 0.05
  done
  fail "never reached: $*"
}
journal_says() { grep -aq "phase	$1" "$records/SetUp.journal" 2>/dev/null; }
at_least() { [ "$(aside_files)" -ge "$1" ]; }

answers=(--answer "警告=OK" --answer "是否保留这些配置的参数=YES")
start_cut_run() {
  place_setup "$transfer_setup"
  rm -f "$transcript" "$trace_log"
  start_setup "${answers[@]}"
}

# The run after the cut (or cuts): everything as after an uninterrupted run.
expect_whole_update() {
  local what=$1
  rm -f "$transcript"
  run_setup "${answers[@]}"
  cp "$transcript" "$out/transcript-$what.txt"
  expect_transcript "exit 0"
  if [ ${#setup_args[@]} = 0 ]; then
    expect_transcript 'text="TorneLix安装完成!"'
  else
    setup_log | tail -3 | grep -qF '静默安装，未显示的消息：TorneLix安装完成!' || fail "$what: no final message in the log"
  fi
  expect_whole_machine "$what"
}
# A cut in state 20 between the record of success and the record of the
# kept release (kept=either) leaves the set-aside deleted as before.
expect_whole_machine() {
  local what=$1 kept=${2:-kept}
  expect_carried
  grep -q 'release=transfer' "$product/release.txt" || fail "$what: not the new release"
  [ "$(user_files)" = "$user_files_before" ] || fail "$what: user files differ: $(diff <(echo "$user_files_before") <(user_files) | head)"
  if [ -n "$shift_files" ]; then
    [ "$(cd "$data_product" && md5sum Shift/S*.nc 2>/dev/null)" = "$shift_files" ] ||
      fail "$what: the part programs saved after the cut are not in the data tree"
  fi
  cmp -s "$system_dir/drivers/tlxio.sys" "$transfer_release/TorneLix/tlxio.sys" || fail "$what: not the new driver"
  expect_file "$system_dir/tlxdx.dll"
  if [ "$kept" = either ] && [ -z "$(kept_tag)" ]; then expect_nothing_set_aside; else expect_only_kept_release; fi
  expect_gone "$temp_save"
  expect_gone "$param_work"
  setup_log | grep -q '未能恢复' && fail "$what: the setup log names something not put back: $(setup_log | grep 未能恢复)"
  pass "cut $what: the next run installed, values carried, user files and drivers whole, only the kept release aside"
}

covered=()
lay_out_sweep_machine "$small_machine"
user_files_before=$(user_files)
# The state boundaries under /S, as a deployment engine runs the setup: the
# states follow each other without the dialog's ticks between them.
setup_args=(/S)
for state in 1 2 3 5 6 7 8 10 12 15 9 16 20; do
  lay_out_sweep_machine "$small_machine"
  start_cut_run
  cut_when reached_state "$state"
  # A cut before the package ran must have left the machine's own driver.
  if [ "$state" -le 6 ]; then
    grep -q "own driver" "$system_dir/drivers/tlxio.sys" || fail "state $state: the driver changed before state 12"
  fi
  case $state in 6 | 9 | 16) write_after_cut "at state $state" ;; esac
  if [ "$state" = 20 ] && { [ ! -e "$records/SetUp.journal" ] || journal_says done; }; then
    # The update itself was done. The next start only finishes its clean-up:
    # a run cancelled at the warning shows that, with the machine as the
    # update left it (a whole second update would find no data files to carry).
    if [ -e "$records/SetUp.journal" ]; then
      setup_args=()
      rm -f "$transcript"
      run_setup --answer "警告=CANCEL"
      expect_transcript "exit 2"
      expect_no_transcript "上次安装没有完成"
      setup_args=(/S)
    fi
    expect_whole_machine "at state 20, once the update was recorded done" either
  else
    expect_whole_update "at state $state"
  fi
  covered+=("state $state")
done

# The rest with the dialog, as a person at the machine runs it. The 3 000
# part programs are the operator's and never move: the cuts in state 5 fall
# once the data tree's values went aside, while the program tree (2 000 help
# pages) follows.
setup_args=()
lay_out_sweep_machine "$big_machine"
user_files_before=$(user_files)
program_aside() { find "${install_root}.previous" -type f 2>/dev/null | wc -l; }
program_at_least() { [ "$(program_aside)" -ge "$1" ]; }
for n in 1 1000; do
  lay_out_sweep_machine "$big_machine"
  start_cut_run
  cut_when program_at_least "$n"
  [ "$n" = 1 ] && write_after_cut "in state 5"
  expect_whole_update "in state 5 after $n program files"
  covered+=("state 5 after $n program files, 3 000 part programs in place")
done

# A cut in state 9 and the operator's work; then a cut in state 9 and a cut
# of the next start as soon as its undo has recorded that the run's files
# are in the discard area, while it moves the old release back.
lay_out_sweep_machine "$big_machine"
start_cut_run
cut_when reached_state 9
write_after_cut "in state 9"
expect_whole_update "in state 9 with 3 000 part programs"
covered+=("state 9 with 3 000 part programs")
lay_out_sweep_machine "$big_machine"
start_cut_run
cut_when reached_state 9
start_cut_run
cut_when journal_says discarded
expect_file "$records/SetUp.journal"
expect_whole_update "during the undo of a cut run"
covered+=("the start-up undo of a run cut in state 9, cut once its discard was recorded")

# A staged update (/S /STAGE first, then /S) cut inside its switch: as state
# 6 begins (the staged files being checked), once the stage's record is gone
# (the moves begun), and as state 7 begins (the stage moved in). The next
# start undoes the run and installs, from the stage or from the package.
staged_root="${install_root}.staged"
stage_consumed() { reached_state 6 && [ ! -e "$records/SetUp.staged" ]; }
for instant in "reached_state 6" stage_consumed "reached_state 7"; do
  lay_out_sweep_machine "$small_machine"
  user_files_before=$(user_files)
  place_setup "$transfer_setup"
  silent_run /S /STAGE
  expect_transcript "exit 0"
  expect_file "$records/SetUp.staged"
  setup_args=(/S)
  start_cut_run
  cut_when $instant
  expect_file "$records/SetUp.journal" # the cut fell inside the update
  expect_whole_update "inside a staged switch ($instant)"
  expect_gone "$records/SetUp.staged"
  [ -z "$(ls -A "$staged_root" 2>/dev/null)" ] || fail "a staged switch cut ($instant) left $(ls "$staged_root")"
  covered+=("a staged switch: $instant")
done
setup_args=()

# Names the code page cannot hold and a path past 260 characters among the
# part programs: cut while the package runs, then the next start.
odd_names_machine() {
  lay_out_sweep_machine "$small_machine"
  mkdir -p "$data_product/Parts/p0/한국" "$data_product/Parts/p0/작업😀"
  printf 'O9001\r\nG0 X1\r\nM30\r\n' >"$data_product/Parts/p0/한국/a.nc"
  printf 'O9002\r\nG0 X2\r\nM30\r\n' >"$data_product/Parts/p0/작업😀/b.nc"
}
long_path_machine() {
  lay_out_sweep_machine "$small_machine"
  local customer project base
  customer="Kunde-$(printf 'K%.0s' {1..100})"
  base=$(winpath "$data_product/Parts/Kunden/$customer")
  project="Projekt-$(printf 'P%.0s' $(seq $((245 - ${#base} - 1 - 8 - 8))))"
  mkdir -p "$data_product/Parts/Kunden/$customer/$project"
  printf 'O9100\r\n(a long path)\r\nM30\r\n' >"$data_product/Parts/Kunden/$customer/$project/AAAA.nc"
  local windows
  windows=$(winpath "$data_product/Parts/Kunden/$customer/$project/AAAA.nc")
  [ "${#windows}" = 245 ] || fail "the long path has ${#windows} characters: $windows"
}
for machine in odd_names_machine long_path_machine; do
  "$machine"
  user_files_before=$(user_files)
  start_cut_run
  cut_when reached_state 6
  expect_whole_update "while the package runs, on a $machine"
  covered+=("state 6 on a ${machine//_/ }")
done

# After the new driver and system file went in, a cut and then a failing
# update with Cancel: the machine is the previous release, its own driver
# included, and the system file the cut run added is gone.
lay_out_sweep_machine "$small_machine"
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
start_cut_run
cut_when reached_state 16
place_setup "$half_setup"
rm -f "$transcript"
TLX_PACKAGE_TREE=$package_tree TLX_PACKAGE_FAIL_TIMES=9 run_setup "${answers[@]}" --answer "安装包运行失败=CANCEL"
cp "$transcript" "$out/transcript-cancel-after-cut.txt"
expect_transcript "exit 4"
expect_transcript 'text="上次安装没有完成（断电或中断）。\n原来的版本及其数据已恢复，现在重新安装。"'
# The cut run's carry report stays beside the setup log, a record like the
# log's own lines of that run.
after=$(snapshot "$install_root" "$D" "$desktop" "$programs" | grep -Ev ' \./Velko/Boot/CarryReport-[0-9-]*\.(txt|json)$')
[ "$before" = "$after" ] || fail "not the previous release: $(diff <(echo "$before") <(echo "$after") | head -20)"
grep -q "own driver" "$system_dir/drivers/tlxio.sys" || fail "the new driver stayed"
expect_gone "$system_dir/tlxdx.dll"
expect_nothing_set_aside
pass "a cut after the drivers, then Cancel: the previous release with its own driver, no new system file"
covered+=("state 16, then a failing package and Cancel")
printf '%s\n' "${covered[@]}" >"$out/instants.txt"
