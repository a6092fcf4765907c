#!/usr/bin/env bash
# Names the code page cannot hold and paths beyond 260 characters among the
# operator's files: folders with a Korean and an emoji name and a part
# program at 250 characters through an update; the folders through an update
# cut while its package runs and the next start; a part program saved at 245
# characters after such a cut; one at 252 characters through /ROLLBACK. Each
# time the run ends with 0, every file is whole where it was, and the
# previous release is kept.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
unset TLX_PACKAGE_TREE

# Every file of the operator's with its checksum.
operator_files() { (cd "$data_product" && { find Parts Kunden -type f ! -name '*.older-*' -print0 2>/dev/null || true; } | xargs -0r md5sum | sort -k2); }
expect_operator_files() {
  local now
  now=$(operator_files)
  [ "$now" = "$2" ] || fail "$1: the operator's files differ: $(diff <(echo "$2") <(echo "$now") | head -10)"
}
expect_log() { setup_log | grep -qF -- "$1" || fail "setup log lacks: $1"; }
expect_no_log() { ! setup_log | grep -qF -- "$1" || fail "setup log has: $1"; }
# The previous release kept, and nothing else set aside.
expect_kept() {
  [ -f "$records/SetUp.kept" ] || fail "$1: the previous release was not kept: $(setup_log | grep -a -e '没有保留' -e '未删除' | tail -3)"
  expect_only_kept_release
}
expect_new_release() { grep -q 'release=transfer' "$product/release.txt" || fail "$1: not the new release"; }

# The folders of foreign names among the part programs.
foreign_folders() {
  mkdir -p "$data_product/Parts/p0/한국" "$data_product/Parts/p0/작업😀"
  printf 'O9001\r\nG0 X1\r\nM30\r\n' >"$data_product/Parts/p0/한국/a.nc"
  printf 'O9002\r\nG0 X2\r\nM30\r\n' >"$data_product/Parts/p0/작업😀/b.nc"
  printf 'O9003\r\nG0 X3\r\nM30\r\n' >"$data_product/Parts/p0/작업😀/零件.nc"
}

# A part program whose Windows path (D:\Velko\TorneLix\Kunden\...\AAAA.nc)
# has exactly $1 characters.
long_part_program() {
  local want=$1 customer project
  customer="Kunde-$(printf 'K%.0s' {1..100})"
  local fixed=$((${#data_product} - ${#D} + 2 + 8 + ${#customer} + 2 + 7)) # D: \Kunden \ \ AAAA.nc
  project="Projekt-$(printf 'P%.0s' $(seq $((want - fixed - 8))))"
  long_file="$data_product/Kunden/$customer/$project/AAAA.nc"
  mkdir -p "$(dirname "$long_file")"
  printf 'O9100\r\n(a long path)\r\nM30\r\n' >"$long_file"
  local windows
  windows=$(winpath "$long_file")
  [ "${#windows}" = "$want" ] || fail "the long path has ${#windows} characters, not $want: $windows"
}


# --- A Korean and an emoji folder and a 250-character path through an update.
clean_machine
lay_out_rollback_machine
part_programs "$data_product" 20
foreign_folders
long_part_program 250
files=$(operator_files)
place_setup "$transfer_setup"
silent_run /S
expect_transcript "exit 0"
expect_new_release "an update"
expect_carried
expect_operator_files "after an update" "$files"
expect_kept "an update"
expect_no_log '文件被占用'
expect_no_log '备份已删除'
pass "folders named in Korean and with an emoji, a 250-character path: the update ends with 0, every file whole, the previous release kept"

# --- The same through a cut while the package runs and the next start.
clean_machine
lay_out_rollback_machine
part_programs "$data_product" 20
foreign_folders
files=$(operator_files)
cut_while_package_runs
cp "$records/SetUp.journal" "$out/journal-after-cut"
! grep -aq '?' "$out/journal-after-cut" || fail "the journal names a path with '?': $(grep -a '?' "$out/journal-after-cut" | head -3)"
silent_run /S
expect_transcript "exit 0"
expect_new_release "the start after a cut"
expect_carried
expect_operator_files "after a cut and the next start" "$files"
expect_kept "the start after a cut"
expect_no_log '文件被占用'
silent_run /S /ROLLBACK
expect_transcript "exit 0"
grep -q 'old release' "$product/release.txt" || fail "/ROLLBACK: not the old release"
expect_operator_files "after /ROLLBACK" "$files"
pass "foreign names through a cut while the package ran: no '?' in the journal, the next start and /ROLLBACK end with 0, every file whole"

# --- A part program saved at 245 characters after a cut.
clean_machine
lay_out_rollback_machine
part_programs "$data_product" 20
files=$(operator_files)
cut_while_package_runs
long_part_program 245
files=$(printf '%s\n%s\n' "$files" "$(cd "$data_product" && md5sum "${long_file#"$data_product"/}")" | sort -k2)
silent_run /S
expect_transcript "exit 0"
expect_new_release "the start after a cut"
expect_carried
expect_operator_files "a 245-character path saved after a cut" "$files"
expect_kept "the start after a cut"
pass "a part program saved at 245 characters after a cut: the next start ends with 0, the release new, the file whole"

# --- A part program at 252 characters through /ROLLBACK.
clean_machine
lay_out_rollback_machine
part_programs "$data_product" 20
place_setup "$transfer_setup"
silent_run /S
expect_transcript "exit 0"
long_part_program 252
files=$(operator_files)
silent_run /S /ROLLBACK
expect_transcript "exit 0"
grep -q 'old release' "$product/release.txt" || fail "/ROLLBACK: not the old release"
expect_operator_files "a 252-character path through /ROLLBACK" "$files"
silent_run /S /ROLLBACK
expect_transcript "exit 0"
expect_new_release "the second /ROLLBACK"
expect_operator_files "a 252-character path through the second /ROLLBACK" "$files"
pass "a part program at 252 characters: /ROLLBACK both ways ends with 0, the file whole"
