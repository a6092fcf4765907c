#!/usr/bin/env bash
# The previous release kept after a good update, and /ROLLBACK. An update
# under /S keeps what it set aside; the control program then changes a value;
# /S /ROLLBACK brings back every file of the program tree, the data tree, the
# shortcuts and the drivers byte for byte as before the update, and a second
# /S /ROLLBACK the updated release with the changed value. A cut while the
# swap moves the current release out is undone at the next start, one while
# it moves the kept release in is finished; either way the other release
# stays kept whole, and files the control program wrote into the data tree
# between the cut and that start stay there. Without a kept release (never
# updated, /NOKEEP) /ROLLBACK ends with exit code 13 and changes nothing; a
# data drive too small to keep the previous release deletes it as before and
# the setup log says why.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
. "$(dirname "$0")/faults_lib.sh"
unset TLX_PACKAGE_TREE

lay_out_keep_machine() {
  lay_out_rollback_machine
  part_programs "$data_product" "$1"
  printf 'the machine'"'"'s own driver\r\n' >"$system_dir/drivers/tlxio.sys"
}
# Every file a release consists of: the program tree, the data drive but for
# the setup's own logs and records (Boot) and the kept release, the
# shortcuts, the driver and the system file.
machine_state() {
  snapshot "$install_root" "$desktop" "$programs" "$system_dir/drivers"
  snapshot "$D" | grep -v -e ' \./Velko/Boot\(/\|$\)' -e ' \./Velko\.previous\(/\|$\)'
  if [ -f "$system_dir/tlxdx.dll" ]; then md5sum <"$system_dir/tlxdx.dll"; else echo "no tlxdx.dll"; fi
}
expect_state() {
  local now
  now=$(machine_state)
  [ "$now" = "$2" ] || fail "$1: $(diff <(echo "$2") <(echo "$now") | head -20)"
}
expect_log() { setup_log | grep -qF -- "$1" || fail "setup log lacks: $1"; }
runs=0

# --- Update, change a value, back, forward.
clean_machine
lay_out_keep_machine 1000
before=$(machine_state)
place_setup "$transfer_setup"
silent_run /S
expect_transcript "exit 0"
expect_carried
expect_only_kept_release
expect_gone "$temp_save"
expect_log "上一版本已保留："
# A release large enough for a cut to find its swap half done.
mkdir -p "$product/Help"
for ((i = 0; i < 1000; i++)); do printf 'help page %d\r\n' "$i" >"$product/Help/h$i.txt"; done
# The control program writes a changed value into the new release's amend file.
sed -i 's/^m_fSpeed = 12\.5\r$/m_fSpeed = 13.75\r/' "$product/config/Mill/amend.dat"
grep -q 'm_fSpeed = 13.75' "$product/config/Mill/amend.dat" || fail "the value was not changed"
updated=$(machine_state)
# The run state names both releases: the one installed before any state was
# written is "unknown".
state_file() { tr -d '\r' <"$D/Velko/Boot/SetupState.ini" | paste -sd' ' -; }
expect_run_state() {
  state_file | grep -qE "^\[Installed\] Release=$1 .*\[Kept\] Release=$2 .*Outcome=$3 ExitCode=0\$" ||
    fail "SetupState.ini: installed $1, kept $2, outcome $3 expected: $(state_file)"
}
expect_run_state "Transfer 2\.0" unknown installed
silent_run /S /CHECK /ROLLBACK
expect_transcript "exit 0"
expect_state "/CHECK /ROLLBACK changed the machine" "$updated"
expect_log '保留的上一版本：'
expect_log '结论：可以回退'
pass "the update kept the previous release and its record; /CHECK /ROLLBACK: ready, nothing changed"

silent_run /S /ROLLBACK
expect_transcript "exit 0"
expect_state "after /ROLLBACK: not the machine before the update" "$before"
expect_log '静默安装，自动回答YES：回到较早的版本 （名称未记录）（安装于20'
expect_log '之前）？'
expect_log '当前的版本 Transfer 2.0（安装于'
expect_only_kept_release
expect_run_state unknown "Transfer 2\.0" swapped
pass "/S /ROLLBACK: program tree, data tree, shortcuts, driver and system file as before the update"

silent_run /S /ROLLBACK
expect_transcript "exit 0"
expect_state "after the second /ROLLBACK: not the updated release with the changed value" "$updated"
expect_log '静默安装，自动回答YES：前进到较新的版本 Transfer 2.0（安装于'
expect_only_kept_release
expect_run_state "Transfer 2\.0" unknown swapped
pass "a second /S /ROLLBACK: the updated release with the value changed since, byte for byte"

# --- The same from the window: a Yes/No question naming both releases, the
# swap's steps in the progress window, a result that says which way it went.
expect_window_rollback() {
  cp "$transcript" "$out/transcript-window-$((++runs)).txt"
  expect_transcript "exit 0"
  expect_transcript 'dialog caption="Tornelix 安装程序..."'
  labels=$(grep '^label ' "$transcript" | awk '{print $2}' | paste -sd, -)
  [ "$labels" = "140,141,144,145,150" ] || fail "labels shown: $labels"
}
setup_args=(/ROLLBACK)
rm -f "$transcript"
marker="$out/go-back-box"
start_setup --pause-at "回到较早的版本=$(winpath "$marker")" --answer "回到较早的版本=YES"
wait_for_file "$marker.ready" 60 || fail "the go-back question never came"
import -display "$DISPLAY" -window root "$out/go-back-zh.png" || fail "no screenshot"
touch "$marker"
wait_setup
expect_window_rollback
expect_transcript 'box caption="Setup" buttons=YES,NO text="回到较早的版本 （名称未记录）（安装于20'
expect_transcript '之前）？\n当前的版本 Transfer 2.0（安装于'
expect_transcript 'answer YES'
expect_transcript 'buttons=OK text="已回到较早的版本 （名称未记录）（安装于20'
expect_transcript '之前）。\n较新的版本 Transfer 2.0（安装于'
expect_state "after /ROLLBACK in the window: not the machine before the update" "$before"
expect_run_state unknown "Transfer 2\.0" swapped
rm -f "$transcript"
run_setup --answer "前进到较新的版本=YES"
expect_window_rollback
expect_transcript 'buttons=YES,NO text="前进到较新的版本 Transfer 2.0（安装于'
expect_transcript '之前）将被保留，以后可以再回到它。'
expect_transcript 'buttons=OK text="已前进到较新的版本 Transfer 2.0（安装于'
expect_state "forward in the window: not the updated release" "$updated"
expect_run_state "Transfer 2\.0" unknown swapped
rm -f "$transcript"
run_setup --answer "回到较早的版本=NO"
cp "$transcript" "$out/transcript-window-no.txt"
expect_transcript "exit 2"
expect_transcript 'answer NO'
[ "$(box_texts | wc -l)" = 1 ] || fail "boxes after No: $(box_texts)"
expect_state "No in the window changed the machine" "$updated"
setup_log | tail -1 | grep -qF '回退已取消，没有做任何更改' || fail "setup log after No: $(setup_log | tail -2)"
pass "/ROLLBACK in the window, back and forward: Yes/No naming both releases, the swap's labels, the result saying which way; No changes nothing"

# --- Cuts during the swap; the next start is a normal one, cancelled at the warning.
swap_journal="$records/SetUp.swap"
# The program tree's files moved out: the data tree, first in the record, is
# out of the way by then.
fresh_files() {
  local tag
  tag=$(grep -a '^to	' "$swap_journal" 2>/dev/null | cut -f2) || true
  if [ -n "$tag" ]; then find "${install_root}.previous/$tag" -type f 2>/dev/null | wc -l; else echo 0; fi
}
moved_out() { [ "$(fresh_files)" -ge 200 ]; }
swap_says() { grep -aq "phase	$1" "$swap_journal" 2>/dev/null; }
cut_when() {
  local i
  for ((i = 0; i < 1200; i++)); do
    if "$@"; then
      wineserver -k
      wait "$robot_pid" || true
      [ -f "$swap_journal" ] || fail "the swap ended before the cut ($*)"
      return 0
    fi
    kill -0 "$robot_pid" 2>/dev/null || fail "the run ended before: $*; $(tail -3 "$transcript" 2>/dev/null)"
    sleep 0.05
  done
  fail "never reached: $*"
}
# The control program writes into the data tree between the cut and the
# next start: its user.ini and a new part program. They are there after it.
user_ini=$data_product/user.ini
cp "$user_ini" "$out/user.ini.before"
write_after_cut() {
  mkdir -p "$data_product/Parts"
  # Another key than the language: ActiveLang=eng would make the next start English.
  printf '[ActiveLang]\r\nActiveLang=chn\r\n[Window]\r\nWrittenAfterCut=1\r\n' >"$user_ini"
  printf 'O9001\r\nM30\r\n' >"$data_product/Parts/after-cut.nc"
}
expect_written_after_cut() {
  grep -qs 'WrittenAfterCut=1' "$user_ini" || fail "$1: the user.ini written after the cut is gone"
  grep -qs 'O9001' "$data_product/Parts/after-cut.nc" || fail "$1: the part program saved after the cut is gone"
  cp "$out/user.ini.before" "$user_ini"
  rm "$data_product/Parts/after-cut.nc"
}
next_start() {
  setup_args=()
  rm -f "$transcript"
  run_setup --answer "警告=CANCEL"
  cp "$transcript" "$out/transcript-next-start-$((++runs)).txt"
  expect_transcript "exit 2"
  expect_gone "$swap_journal"
  expect_log "发现未完成的版本交换"
}

setup_args=(/S /ROLLBACK)
rm -f "$transcript"
start_setup
cut_when moved_out
write_after_cut
next_start
expect_written_after_cut "a cut while the current release moved out"
expect_state "a cut while the current release moved out, then a start: not the updated release" "$updated"
expect_only_kept_release
silent_run /S /ROLLBACK
expect_transcript "exit 0"
expect_state "the kept release after the undone cut" "$before"
pass "cut while the current release moved out, files written meanwhile: undone at the next start, the files in the data tree; the kept release whole"

setup_args=(/S /ROLLBACK)
rm -f "$transcript"
start_setup
cut_when swap_says cleared
write_after_cut
next_start
expect_written_after_cut "a cut while the kept release moved in"
expect_state "a cut while the kept release moved in, then a start: not the updated release" "$updated"
expect_only_kept_release
silent_run /S /ROLLBACK
expect_transcript "exit 0"
expect_state "the kept release after the finished cut" "$before"
pass "cut while the kept release moved in, files written meanwhile: finished at the next start, the files in the data tree; the other release kept whole"

# --- Nothing kept: never updated, and updated with /NOKEEP.
clean_machine
lay_out_keep_machine 0
place_setup "$transfer_setup"
fresh=$(machine_state)
silent_run /S /ROLLBACK
expect_transcript "exit 13"
expect_state "/ROLLBACK on a machine never updated changed it" "$fresh"
expect_log "没有保留的上一版本，没有做任何更改"
silent_run /S /CHECK /ROLLBACK
expect_transcript "exit 13"
expect_state "/CHECK /ROLLBACK on a machine never updated changed it" "$fresh"
expect_log '结论：不能回退'
silent_run /S /NOKEEP
expect_transcript "exit 0"
expect_carried
expect_nothing_set_aside
expect_gone "$records/SetUp.kept"
expect_log "上一版本没有保留，备份已删除（/NOKEEP）"
if state_file | grep -q '\[Kept\]'; then fail "SetupState.ini names a kept release after /NOKEEP: $(state_file)"; fi
nokeep=$(machine_state)
silent_run /S /ROLLBACK
expect_transcript "exit 13"
expect_state "/ROLLBACK after /NOKEEP changed the machine" "$nokeep"
pass "/S /ROLLBACK never updated and after /NOKEEP: exit code 13, nothing changed"

# --- A data drive too small to keep the previous release beside its margin.
clean_machine
small_d 64M || exit 77
lay_out_keep_machine 0
place_setup "$transfer_setup"
silent_run /S
expect_transcript "exit 0"
expect_carried
expect_nothing_set_aside
expect_gone "$records/SetUp.kept"
expect_log "上一版本没有保留，备份已删除（D: 盘空间不足"
pass "a data drive too small to keep: the previous release deleted as before, the setup log says why"
