#!/usr/bin/env bash
# Staged updates: /S /STAGE lays the release beside the installation while
# the control program runs and changes nothing live; the next /S of the same
# setup file switches it in by renames once the control program is closed.
#   /S /STAGE with the control program running: exit 0, it still runs, both
#             live trees byte for byte as before, outcome "staged"
#   /S /CHECK: the stage named, and that the update would switch it in
#   /S:       the new release from the stage (no package run), values exact,
#             every part program whole, nothing staged afterwards
#   /S /ROLLBACK: the old release back
#   a byte of a staged file changed after staging (size and time kept): the
#             next /S drops the stage, names the file, installs from the package
#   a stage of another release: not used, dropped, the file's own release in place
#   /S /STAGE on a write-filter controller: 2, nothing staged or changed
#   /S /STAGE cut at three instants (the package begins, the product directory
#             being laid, the record whole): the live trees untouched; the next /S installs
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
unset TLX_PACKAGE_TREE

staged_root="${install_root}.staged"
boot="$D/Velko/Boot"
# Both live trees, without what a run writes beside the setup log.
live_trees() { snapshot "$install_root" "$D" | grep -v '/Velko/Boot/\(CheckReport\|RunReport\)-'; }
part_sums() { (cd "$data_product" && find Parts -type f -print0 | sort -z | xargs -0 md5sum); }
expect_log() { setup_log | grep -qF -- "$1" || fail "setup log lacks: $1"; }
staged_dir() { grep -a '^dir	' "$records/SetUp.staged" 2>/dev/null | cut -f2; }
# The staged file's path on the Unix side: the one below the tag directory.
staged_tag_dir() { find "$staged_root" -mindepth 1 -maxdepth 1 -type d | head -1; }
expect_no_stage() {
  expect_gone "$records/SetUp.staged"
  [ -z "$(ls -A "$staged_root" 2>/dev/null)" ] || fail "$1: left in the staging place: $(ls "$staged_root")"
}
expect_transfer_installed() {
  expect_transcript "exit 0"
  grep -q 'release=transfer' "$product/release.txt" || fail "$1: not the transfer release: $(cat "$product/release.txt")"
  expect_carried
  [ "$(part_sums)" = "$parts" ] || fail "$1: the part programs differ"
}
new_machine() {
  clean_machine
  lay_out_rollback_machine
  part_programs "$data_product" 300
  parts=$(part_sums)
  place_setup "$transfer_setup"
}

# --- Staged while the control program runs, switched in after it closed.
new_machine
before=$(live_trees)
start_control_program
silent_run /S /STAGE
expect_transcript "exit 0"
kill -0 "$control_pid" 2>/dev/null || fail "the control program did not survive the stage"
[ "$(live_trees)" = "$before" ] ||
  fail "the stage changed the live trees: $(diff <(echo "$before") <(live_trees) | head -10)"
expect_file "$records/SetUp.staged"
[ -n "$(staged_tag_dir)" ] || fail "nothing in the staging place"
grep -q 'release=transfer' "$(staged_tag_dir)/TorneLix/release.txt" || fail "the staged release is not the transfer release"
state=$(tr -d '\r' <"$boot/SetupState.ini")
grep -qx 'Outcome=staged' <<<"$state" || fail "run state: $state"
grep -A1 -x '\[Staged\]' <<<"$state" | grep -qx 'Release=Transfer 2.0' || fail "no staged release in the run state: $state"
expect_log '已暂存：Transfer 2.0'
setup_log | tail -1 | grep -qF '静默安装结束，退出代码 0' || fail "no closing line: $(setup_log | tail -1)"
pass "/S /STAGE while the control program runs: exit 0, it still runs, the live trees as before"

silent_run /S /CHECK /WAIT=0
grep -q '^exit ' "$transcript" || fail "/CHECK did not end"
check=$(iconv -f GBK -t UTF-8 "$(ls -t "$boot"/CheckReport-*.txt | head -1)" | tr -d '\r')
grep -q '^暂存：Transfer 2.0（.*），更新将换入它$' <<<"$check" || fail "/CHECK does not name the stage: $check"
pass "/CHECK names the stage and that the update would switch it in"

stop_control_program
silent_run /S
expect_transfer_installed "the staged /S"
expect_log '暂存的版本已换入：Transfer 2.0'
! setup_log | grep -qF '暂存的版本不使用' || fail "the stage was not used"
expect_no_stage "after the switch"
! grep -q '^\[Staged\]' "$boot/SetupState.ini" || fail "the run state still names a stage"
expect_only_kept_release
pass "/S after the control program closed: the staged release switched in, values exact, part programs whole"

silent_run /S /ROLLBACK
expect_transcript "exit 0"
grep -q 'old release' "$product/release.txt" || fail "/ROLLBACK: not the old release"
[ "$(part_sums)" = "$parts" ] || fail "/ROLLBACK: the part programs differ"
pass "/ROLLBACK after a staged update: the old release back"

# --- A byte of a staged file changed after staging, its size and time kept.
new_machine
silent_run /S /STAGE
expect_transcript "exit 0"
victim="$(staged_tag_dir)/TorneLix/release.txt"
expect_file "$victim"
cp -p "$victim" "$out/release.txt.staged"
sed -i 's/release=transfer/release=tampered/' "$victim"
touch -r "$out/release.txt.staged" "$victim"
[ "$(stat -c %s "$victim")" = "$(stat -c %s "$out/release.txt.staged")" ] || fail "the change altered the size"
silent_run /S
expect_transfer_installed "a changed staged file"
expect_log '暂存后改变的文件：TorneLix\release.txt'
! grep -q tampered "$product/release.txt" || fail "the changed staged file was installed"
expect_no_stage "after a changed stage"
pass "a byte changed after staging: the stage dropped and named, the release from the package"

# --- A stage of another release.
future_setup StageB 'macro of release B'
new_machine
place_setup "$out/Setup-StageB.exe"
silent_run /S /STAGE
expect_transcript "exit 0"
place_setup "$transfer_setup"
silent_run /S
expect_transfer_installed "another release's stage"
expect_log '暂存的是另一个版本'
expect_gone "$data_product/Macros/macro.txt"
expect_no_stage "after another release's stage"
pass "a stage of another release: not used, dropped, the setup file's own release installed"

# --- A write-filter controller: the filter would drop the stage at the next restart.
new_machine
make_write_filter_system
before=$(live_trees)
silent_run /S /STAGE
expect_transcript "exit 2"
expect_log '写保护系统上不能暂存，没有做任何更改'
expect_no_stage "a write-filter controller"
# The records (the trusted run state) live beside the data root on such a controller.
[ "$(live_trees | grep -v '/Velko\.records')" = "$(grep -v '/Velko\.records' <<<"$before")" ] ||
  fail "a refused stage changed the live trees: $(diff <(echo "$before") <(live_trees) | head -10 | tr "\n" " ")"
pass "a write-filter controller: /S /STAGE refused with 2, nothing staged, nothing changed"

# --- /S /STAGE cut at three instants: as the package begins to lay the
# stage, once the product directory is being laid, once the record is whole.
tag_dir_made() { [ -n "$(staged_tag_dir)" ]; }
product_laid() { [ -n "$(find "$staged_root" -mindepth 2 -maxdepth 2 -name TorneLix 2>/dev/null)" ]; }
record_whole() { [ -e "$records/SetUp.staged" ]; }
for instant in tag_dir_made product_laid record_whole; do
  new_machine
  before=$(live_trees)
  rm -f "$transcript"
  setup_args=(/S /STAGE)
  start_setup
  for ((i = 0; i < 3000; i++)); do
    $instant && break
    kill -0 "$robot_pid" 2>/dev/null || fail "the stage ended before the cut ($instant)"
    sleep 0.01
  done
  wineserver -k || true
  wait "$robot_pid" || true
  [ "$(live_trees)" = "$before" ] ||
    fail "a stage cut ($instant) changed the live trees: $(diff <(echo "$before") <(live_trees) | head -10)"
  if record_whole; then cut="the record whole"; else cut="no record"; fi
  silent_run /S
  expect_transfer_installed "the /S after a stage cut ($instant)"
  if [ "$cut" = "no record" ]; then
    expect_log '删除了中断的暂存留下的：'
  else
    expect_log '暂存的版本已换入：Transfer 2.0'
  fi
  expect_no_stage "the /S after a stage cut ($instant)"
  echo "stage cut ($instant, $cut): the next /S installed"
done
pass "/S /STAGE cut at three instants: the live trees untouched, the next /S installs"
