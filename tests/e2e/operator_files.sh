#!/usr/bin/env bash
# The operator's files are never the release's. A week of work on the new
# release (40 new part programs, 10 edited, a value changed) stays in the
# data tree byte for byte through /ROLLBACK, a second /ROLLBACK, the next
# update and a /NOKEEP update, while the program and the value go back and
# forth. Part programs saved and edited between a cut while the package runs
# and the next start are in the data tree after it as saved: never moved,
# they meet nothing. Kept directories deleted by hand: /ROLLBACK refuses
# (exit code 14) and moves nothing, and the next update keeps every file.
# Files of the operator's named like parameter files, outside the
# configuration directories, stay through every transition; what an earlier
# setup left in TorneLixTemp comes home.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
. "$(dirname "$0")/faults_lib.sh"
unset TLX_PACKAGE_TREE

# Every file the operator has in the data tree, with its checksum.
operator_files() { (cd "$data_product" && { find Parts Week Users -type f ! -name '*.older-*' -print0 2>/dev/null || true; } | sort -z | xargs -0r md5sum); }
expect_operator_files() {
  local now
  now=$(operator_files)
  [ "$now" = "$2" ] || fail "$1: the operator's files differ: $(diff <(echo "$2") <(echo "$now") | head -10)"
}
expect_log() { setup_log | grep -qF -- "$1" || fail "setup log lacks: $1"; }
mill_speed() { tr -d '\r' <"$product/config/Mill/amend.dat" | grep '^m_fSpeed = ' | cut -d' ' -f3; }

# --- A week of work through /ROLLBACK, back, the next update and /NOKEEP.
clean_machine
lay_out_rollback_machine
part_programs "$data_product" 100
place_setup "$transfer_setup"
silent_run /S
expect_transcript "exit 0"
expect_carried
sleep 1 # the week's edits are newer than anything the update wrote
mkdir -p "$data_product/Week"
for ((i = 0; i < 40; i++)); do printf 'O%d\r\nG1 X%d F100\r\nM30\r\n' $((5000 + i)) "$i" >"$data_product/Week/W$i.nc"; done
for ((i = 0; i < 10; i++)); do printf '(edited on the new release)\r\n' >>"$data_product/Parts/p0/O$i.nc"; done
sed -i 's/^m_fSpeed = 12\.5\r$/m_fSpeed = 13.75\r/' "$product/config/Mill/amend.dat"
[ "$(mill_speed)" = 13.75 ] || fail "the value was not changed"
week=$(operator_files)

silent_run /S /ROLLBACK
expect_transcript "exit 0"
grep -q 'old release' "$product/release.txt" || fail "/ROLLBACK: not the old release"
expect_file "$data_product/config/Mill/tornelix.dat" # the old release's values are back
expect_operator_files "after /ROLLBACK" "$week"
expect_log '操作员的文件（零件程序等）留在数据目录中'
expect_log '操作员的文件留在数据目录中'
[ -z "$(find "$data_product" -name '*.older-*')" ] || fail "two versions where the operator edited on one side only"
pass "/ROLLBACK: the old program and values, the week's 50 files in the data tree byte for byte"

silent_run /S /ROLLBACK
expect_transcript "exit 0"
grep -q 'release=transfer' "$product/release.txt" || fail "second /ROLLBACK: not the new release"
[ "$(mill_speed)" = 13.75 ] || fail "second /ROLLBACK: the changed value is not back"
expect_gone "$data_product/config/Mill/tornelix.dat"
expect_operator_files "after the second /ROLLBACK" "$week"
pass "a second /ROLLBACK: the new release with the changed value, the week's files in place"

# The same release again: installed anew only when asked.
silent_run /S /REINSTALL
expect_transcript "exit 0"
expect_operator_files "after the next update" "$week"
expect_only_kept_release
silent_run /S /NOKEEP /REINSTALL
expect_transcript "exit 0"
expect_operator_files "after a /NOKEEP update" "$week"
expect_nothing_set_aside
pass "the next update and a /NOKEEP update: every one of the week's files in the data tree"

# --- A cut while the package runs; the operator saves and edits before the next start.
clean_machine
lay_out_rollback_machine
part_programs "$data_product" 60
old_o0=$(cat "$data_product/Parts/p0/O0.nc")
operator_files() { (cd "$data_product" && { find Parts -type f ! -name 'O[0-4].nc' ! -name '*.older-*' -print0 2>/dev/null || true; } | sort -z | xargs -0r md5sum); }
untouched=$(operator_files)
cut_while_package_runs
sleep 1
mkdir -p "$data_product/Shift" "$data_product/Parts/p0"
for ((i = 0; i < 20; i++)); do printf 'O%d\r\n(after the cut)\r\nM30\r\n' $((7000 + i)) >"$data_product/Shift/S$i.nc"; done
for ((i = 0; i < 5; i++)); do printf 'O%04d\r\n(saved again after the cut)\r\nM30\r\n' "$i" >"$data_product/Parts/p0/O$i.nc"; done
saved_after_cut() { (cd "$data_product" && md5sum Shift/S*.nc Parts/p0/O[0-4].nc 2>/dev/null || true); }
written=$(saved_after_cut)
silent_run /S
expect_transcript "exit 0"
expect_carried
grep -q 'release=transfer' "$product/release.txt" || fail "not the new release"
now=$(saved_after_cut)
[ "$now" = "$written" ] || fail "the files saved after the cut differ: $(diff <(echo "$written") <(echo "$now") | head)"
[ "$(operator_files)" = "$untouched" ] || fail "the other part programs differ after the cut"
# Never moved, the operator's files were simply saved over by the operator:
# no second version exists, and none is made up.
[ -z "$(find "$data_product" -name '*.older-*')" ] || fail "a version beside an operator's file that only the operator changed"
[ -z "$(find "$(dirname "$data_product")/../Velko.previous" -name 'O*.nc' 2>/dev/null)" ] || fail "part programs in the set-aside copy"
pass "a cut while the package ran: the 25 files saved after it in the data tree, and no part program ever set aside"

# --- Kept directories deleted by hand.
operator_files() { (cd "$data_product" && { find Parts Users -type f ! -name '*.older-*' -print0 2>/dev/null || true; } | sort -z | xargs -0r md5sum); }
clean_machine
lay_out_rollback_machine
part_programs "$data_product" 50
place_setup "$transfer_setup"
silent_run /S
expect_transcript "exit 0"
rm -rf "$D/Velko.previous"
files=$(operator_files)
before=$(snapshot "$install_root" "$D" | grep -v ' \./Velko/Boot\(/\|$\)')
silent_run /S /ROLLBACK
expect_transcript "exit 14"
after=$(snapshot "$install_root" "$D" | grep -v ' \./Velko/Boot\(/\|$\)')
[ "$before" = "$after" ] || fail "/ROLLBACK changed the machine: $(diff <(echo "$before") <(echo "$after") | head)"
expect_log "保留的版本不完整，没有做任何更改："
silent_run /S /CHECK /ROLLBACK
expect_transcript "exit 14"
silent_run /S /REINSTALL
expect_transcript "exit 0"
expect_operator_files "the update after the kept directories were deleted" "$files"
pass "kept directories deleted by hand: /ROLLBACK refuses with 14 and moves nothing; the next update keeps every file"

# --- What an earlier setup left in D:\TorneLixTemp (and .1): the operator's
# files come home once, the machine's values stay, the emptied copy goes.
clean_machine
lay_out_rollback_machine
part_programs "$data_product" 10
left="$D/TorneLixTemp"
mkdir -p "$left/Parts/Lost" "$left/config/Mill" "$left.1/Parts/Older"
printf 'O7001\r\nG0 X1\r\nM30\r\n' >"$left/Parts/Lost/L1.nc"
printf 'O7002\r\nG0 X2\r\nM30\r\n' >"$left.1/Parts/Older/L2.nc"
cp "$data_product/Parts/p0/O1.nc" "$left/Parts/p0-O1-same.nc"
printf 'stale amend\r\n' >"$left/config/Mill/amend.dat"
lost=$(md5sum <"$left/Parts/Lost/L1.nc")
older=$(md5sum <"$left.1/Parts/Older/L2.nc")
place_setup "$transfer_setup"
silent_run /S
expect_transcript "exit 0"
expect_carried
[ "$(md5sum <"$data_product/Parts/Lost/L1.nc")" = "$lost" ] || fail "a part program left in TorneLixTemp did not come home"
[ "$(md5sum <"$data_product/Parts/Older/L2.nc")" = "$older" ] || fail "a part program left in TorneLixTemp.1 did not come home"
expect_gone "$left.1"
expect_file "$left/config/Mill/amend.dat"
expect_gone "$left/Parts"
expect_log "早前安装留下的文件已放回数据目录："
expect_log "早前安装留下的目录已清空并删除：D:\\TorneLixTemp.1"
grep -q 'stale amend' "$product/config/Mill/amend.dat" && fail "an earlier run's values reached the new release"
pass "an earlier setup's TorneLixTemp and .1: the part programs home, the values left where they were, the empty copy gone"

# --- A release's file dated 2030 (a release's file can carry any date) that
# the operator edited on the newer release: through two /ROLLBACKs the edit
# stays in place under the file's name, whose version is older by the clock.
future_setup FutureA 'macro of release A'
future_setup FutureB 'macro of release B'
macro="$data_product/Macros/macro.txt"
clean_machine
lay_out_rollback_machine
place_setup "$out/Setup-FutureA.exe"
silent_run /S /NOPARAMS
expect_transcript "exit 0"
grep -q 'macro of release A' "$macro" || fail "release A's macro not laid"
place_setup "$out/Setup-FutureB.exe"
silent_run /S /NOPARAMS
expect_transcript "exit 0"
grep -q 'macro of release B' "$macro" || fail "release B's macro not laid: $(cat "$macro" 2>&1)"
printf 'macro edited by the operator\r\n' >"$macro"
for step in 1 2; do
  silent_run /S /ROLLBACK
  expect_transcript "exit 0"
  [ -f "$macro" ] || fail "/ROLLBACK $step: no macro.txt, only $(ls "$data_product/Macros")"
  grep -q 'macro edited by the operator' "$macro" || fail "/ROLLBACK $step: the edit is not in place: $(cat "$macro")"
done
grep -q 'release=FutureB' "$product/release.txt" || fail "the second /ROLLBACK: not release B"
grep -lq 'macro of release A' "$data_product"/Macros/macro.older-*.txt || fail "release A's version is not kept beside the edit"
expect_log '操作员的文件留在原处：D:\Velko\TorneLix\Macros\macro.txt；'
pass "a release's macro dated 2030, edited by the operator: in place with the edit after each of two /ROLLBACKs"

# --- The operator's files named like parameter files (a CAM's settings, part
# programs whose names hold "discarded" or "tornelix...dat"): outside the
# configuration directories they are the operator's, through an update,
# two /ROLLBACKs, /REINSTALL, /NOKEEP and a data drive too small to keep.
odd_files() { (cd "$data_product" && md5sum CAM/config.ini Parts/Tornelix_Update_Test.nc Parts/discarded-fixture.nc 2>&1); }
lay_out_odd_files() {
  mkdir -p "$data_product/CAM" "$data_product/Parts"
  printf '[Post]\r\nMachine=Mill\r\n' >"$data_product/CAM/config.ini"
  printf 'O8001\r\nM30\r\n' >"$data_product/Parts/Tornelix_Update_Test.nc"
  printf 'O8002\r\nM30\r\n' >"$data_product/Parts/discarded-fixture.nc"
  odd=$(odd_files)
}
expect_odd_files() { [ "$(odd_files)" = "$odd" ] || fail "$1: $(odd_files | grep -v OK)"; }
clean_machine
lay_out_rollback_machine
lay_out_odd_files
place_setup "$transfer_setup"
for step in "/S" "/S /ROLLBACK" "/S /ROLLBACK" "/S /REINSTALL" "/S /REINSTALL /NOKEEP"; do
  # shellcheck disable=SC2086
  silent_run $step
  expect_transcript "exit 0"
  expect_odd_files "after $step"
done
expect_carried
clean_machine
if small_d 64M; then
  lay_out_rollback_machine
  part_programs "$data_product" 20
  lay_out_odd_files
  place_setup "$transfer_setup"
  silent_run /S
  expect_transcript "exit 0"
  expect_log "上一版本没有保留"
  expect_odd_files "a data drive too small to keep"
fi
pass "config.ini of a CAM and part programs named like parameter files: in place after every transition"
