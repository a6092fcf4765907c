#!/usr/bin/env bash
# The records an elevated run acts on (SetUp.journal, SetUp.kept, SetUp.swap)
# lie where only administrators write. Found where every operator can write
# (the boot directory on the data drive, or a records directory opened to
# everyone), they are not acted on. Even there, records with sound line
# checks that name folders outside the product's places, the system's own
# files, a tag that climbs out, a record cut short, zeros, an empty file, a
# garbled, huge or directory record: the setup moves and deletes nothing on
# their word, names the record, and ends with exit 5 -- and /CHECK says 5
# too. A swap record cut before its first move never blocks, and an empty
# journal is named in the log, not deleted silently.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
unset TLX_PACKAGE_TREE

room="$records"
boot="$D/Velko/Boot"
record_file() { python3 "$(dirname "$0")/record_file.py" "$@"; }
# Folders that are not the product's, each with a file that must survive.
other="$D/Other"
parts="$C/users/Public/Documents/Parts"
lay_out_foreign() {
  mkdir -p "$other" "$parts" "$D/Parts"
  printf 'not the product'"'"'s\r\n' >"$other/keep.txt"
  printf 'O1\r\nM30\r\n' >"$parts/O1.nc"
  printf 'O2\r\nM30\r\n' >"$D/Parts/O2.nc"
}
foreign_state() { snapshot "$other" "$parts" "$D/Parts"; }
machine_state() {
  snapshot "$install_root" "$desktop" "$programs"
  snapshot "$D" | grep -v -e ' \./Velko/Boot\(/\|$\)'
}
expect_log() { setup_log | grep -qF -- "$1" || fail "setup log lacks: $1"; }
# A run that must change nothing and end with 5, naming the record.
expect_refused() {
  local what=$1 record=$2
  shift 2
  local before lines
  before=$(machine_state)
  lines=$(setup_log 2>/dev/null | wc -l)
  silent_run "$@"
  expect_transcript "exit 5"
  setup_log | tail -n +$((lines + 1)) | grep -qF "$record" || fail "$what: the setup log does not name $record"
  [ "$(machine_state)" = "$before" ] || fail "$what: the machine changed: $(diff <(echo "$before") <(machine_state) | head)"
  [ "$(foreign_state)" = "$foreign" ] || fail "$what: a folder that is not the product's changed"
}

# A machine updated once, so that a real kept release and its record exist.
lay_out_rollback_machine
part_programs "$data_product" 20
place_setup "$transfer_setup"
silent_run /S
expect_transcript "exit 0"
tag=$(kept_tag)
[ -n "$tag" ] || fail "the update kept nothing"
cp "$room/SetUp.kept" "$out/kept.orig"
lay_out_foreign
foreign=$(foreign_state)

# --- The kept record.
{ record_file read "$out/kept.orig"; printf 'drop\tD:\\Other\ndrop\tC:\\users\\Public\\Documents\\Parts\n'; } |
  record_file write "$room/SetUp.kept" TLXKEPT 2 whole
expect_refused "drop lines naming foreign folders, /S /CHECK" SetUp.kept /S /CHECK
expect_refused "drop lines naming foreign folders, /S" SetUp.kept /S
expect_log "names a directory to delete that is no earlier kept release: D:\\Other"
{ record_file read "$out/kept.orig"; printf 'entry\tD:\\Parts\tD:\\Velko.previous\\%s\\9\theld\n' "$tag"; } |
  record_file write "$room/SetUp.kept" TLXKEPT 2 whole
expect_refused "an entry naming D:\\Parts, /S /ROLLBACK" SetUp.kept /S /ROLLBACK
expect_refused "an entry naming D:\\Parts, /S /CHECK /ROLLBACK" SetUp.kept /S /CHECK /ROLLBACK
# D:\Parts named as the data tree: its files would move with the release.
{ record_file read "$out/kept.orig"; printf 'data\tD:\\Parts\n'; } | record_file write "$room/SetUp.kept" TLXKEPT 2 whole
expect_refused "a data tree naming D:\\Parts, /S /ROLLBACK" SetUp.kept /S /ROLLBACK
# Cut short after its first entry line: never taken as whole.
first_entry=$(grep -an '^entry	' "$out/kept.orig" | head -1 | cut -d: -f1)
head -n "$first_entry" "$out/kept.orig" >"$room/SetUp.kept"
expect_refused "a kept record cut after its first entry, /S /ROLLBACK" SetUp.kept /S /ROLLBACK
cp "$out/kept.orig" "$room/SetUp.kept"
pass "kept records naming foreign folders or cut short: nothing moved or deleted, exit 5, /CHECK agrees"

# --- The journal.
printf 'tag\t..\\..\\Other\nphase\tsetting-aside\n' | record_file write "$room/SetUp.journal" TLXJOURNAL 2 appended
expect_refused "a journal whose tag climbs out, /S" SetUp.journal /S
expect_log "not a tag of this setup: ..\\..\\Other"
printf 'tag\t0badc0de\nphase\tpackage-started\naside\tD:\\Parts\tD:\\Velko.previous\\0badc0de\\1\n' |
  record_file write "$room/SetUp.journal" TLXJOURNAL 2 appended
expect_refused "a journal setting D:\\Parts aside, /S /CHECK" SetUp.journal /S /CHECK
expect_refused "a journal setting D:\\Parts aside, /S" SetUp.journal /S
head -c 4096 /dev/zero >"$room/SetUp.journal"
expect_refused "a journal of zeros, /S /CHECK" SetUp.journal /S /CHECK
expect_refused "a journal of zeros, /S /ROLLBACK" SetUp.journal /S /ROLLBACK
expect_log "only zeros"
expect_file "$room/SetUp.journal"
rm -f "$room/SetUp.journal"
truncate -s 100M "$room/SetUp.journal"
expect_refused "a journal of 100 MB, /S /CHECK" SetUp.journal /S /CHECK
rm -f "$room/SetUp.journal"
pass "journals naming foreign folders, a climbing tag, zeros, 100 MB: nothing moved or deleted, exit 5, /CHECK agrees"

# --- The swap record.
mkdir "$room/SetUp.swap"
expect_refused "a directory SetUp.swap, /S /CHECK" SetUp.swap /S /CHECK
rmdir "$room/SetUp.swap"
printf 'TLXSWAP\t2\tgarbled\r\nfrom\t%s\r\n' "$tag" >"$room/SetUp.swap"
expect_refused "a garbled swap record, /S" SetUp.swap /S
expect_no_transcript "保留版本的记录无法读取"
# Only its header, as a cut while it was written would leave it: no move can
# have been made on its word.
printf 'from\t%s\n' "$tag" | record_file write "$room/SetUp.swap" TLXSWAP 2 appended
silent_run /S /CHECK /ROLLBACK
expect_transcript "exit 0"
updated=$(machine_state)
: >"$room/SetUp.journal"
silent_run /S /ROLLBACK
expect_transcript "exit 0"
expect_gone "$room/SetUp.swap"
expect_gone "$room/SetUp.journal"
expect_log "交换记录没有写完，尚未移动任何文件，已删除："
expect_log "安装记录没有写完第一行，尚未移动任何文件，已删除："
[ "$(machine_state)" != "$updated" ] || fail "/ROLLBACK did not swap after a cut swap record"
[ "$(foreign_state)" = "$foreign" ] || fail "a folder that is not the product's changed"
pass "a swap record cut before its first move and an empty journal never block; both are named in the log"

# --- The system's own files. The setup copies files of its release into the
# system and driver directories, so records may name those -- but only the
# ones the record says the release carries there.
sys32='C:\windows\system32'
sentinels() { md5sum "$system_dir/msvcrt.dll" "$system_dir/tlxsentinel.dll" "$system_dir/drivers/tlxsentinel.sys"; }
printf 'sentinel\r\n' >"$system_dir/tlxsentinel.dll"
printf 'boot driver\r\n' >"$system_dir/drivers/tlxsentinel.sys"
system_before=$(sentinels)
expect_system_whole() { [ "$(sentinels)" = "$system_before" ] || fail "$1: a system file changed"; }
# Every file of the system and driver directories, once before and once after.
system_files() { (cd "$system_dir" && find . -type f -print0 | sort -z | xargs -0 md5sum); }
all_system_before=$(system_files)
previous_c=$(printf '%s' "${records_win%.records}.previous" | sed 's/\\\\/\\/g')
# The kept release as the swap above left it.
tag=$(kept_tag)
cp "$room/SetUp.kept" "$out/kept.orig"

# Where every operator can write: an earlier setup's place, the boot directory.
printf 'tag\t0badc0de\nphase\tpackage-started\nabsent\t%s\\msvcrt.dll\nabsent\t%s\\tlxsentinel.dll\n' "$sys32" "$sys32" |
  record_file write "$boot/SetUp.journal" TLXJOURNAL 2 appended
expect_refused "a journal in the boot directory, /S" 'D:\Velko\Boot\SetUp.journal' /S
expect_log "a record where every operator can write, not acted on"
expect_refused "a journal in the boot directory, /S /CHECK" 'D:\Velko\Boot\SetUp.journal' /S /CHECK
expect_system_whole "a journal in the boot directory"
rm -f "$boot/SetUp.journal"
{ record_file read "$out/kept.orig"; printf 'entry\t%s\\tlxsentinel.dll\t%s\\%s\\9\theld\n' "$sys32" "$previous_c" "$tag"; } |
  record_file write "$boot/SetUp.kept" TLXKEPT 2 whole
expect_refused "a kept record in the boot directory, /S /ROLLBACK" 'D:\Velko\Boot\SetUp.kept' /S /ROLLBACK
expect_system_whole "a kept record in the boot directory"
rm -f "$boot/SetUp.kept"

# In the records' own directory, naming system files the release never carried.
printf 'tag\t0badc0de\nphase\tpackage-started\nabsent\t%s\\msvcrt.dll\nabsent\t%s\\tlxsentinel.dll\n' "$sys32" "$sys32" |
  record_file write "$room/SetUp.journal" TLXJOURNAL 2 appended
expect_refused "a journal with absent system files, /S" SetUp.journal /S
expect_log "names a place that is not the product's: C:\\windows\\system32\\msvcrt.dll"
printf 'tag\t0badc0de\nphase\tpackage-started\naside\t%s\\msvcrt.dll\t%s\\0badc0de\\1\naside\t%s\\tlxsentinel.dll\t%s\\0badc0de\\2\n' \
  "$sys32" "$previous_c" "$sys32" "$previous_c" | record_file write "$room/SetUp.journal" TLXJOURNAL 2 appended
mkdir -p "${install_root}.previous/0badc0de"
printf 'forged\r\n' >"${install_root}.previous/0badc0de/1"
expect_refused "a journal setting system files aside, /S" SetUp.journal /S
rm -rf "${install_root}.previous/0badc0de" "$room/SetUp.journal"
{ record_file read "$out/kept.orig"; printf 'entry\t%s\\tlxsentinel.dll\t%s\\%s\\9\theld\n' "$sys32" "$previous_c" "$tag"; } |
  record_file write "$room/SetUp.kept" TLXKEPT 2 whole
expect_refused "a kept entry naming a system file, /S /ROLLBACK" SetUp.kept /S /ROLLBACK
expect_log "names a place that is not the product's: C:\\windows\\system32\\tlxsentinel.dll"
cp "$out/kept.orig" "$room/SetUp.kept"
printf 'from\t%s\nto\t0badc0de\nwhen\t-\nsetup\t-\ndigest\t-\nkept\tolder\ninstalled\t-\t-\t-\nentry\t%s\\drivers\\tlxsentinel.sys\t%s\\%s\\9\t%s\\0badc0de\\1\theld\nphase\tcleared\n' \
  "$tag" "$sys32" "$previous_c" "$tag" "$previous_c" | record_file write "$room/SetUp.swap" TLXSWAP 2 whole
expect_refused "a swap record naming a driver, /S" SetUp.swap /S
expect_log "names a place that is not the product's: C:\\windows\\system32\\drivers\\tlxsentinel.sys"
rm -f "$room/SetUp.swap"
expect_system_whole "records naming system files"

# The records' directory opened to everyone (Wine reports the Unix mode as
# an entry for Everyone): the sound kept record in it is no longer trusted.
chmod 0777 "$room"
expect_refused "a records directory everyone may write, /S /ROLLBACK" Velko.records /S /ROLLBACK
expect_log "may be written by others than administrators"
chmod 0755 "$room"
[ "$(system_files)" = "$all_system_before" ] ||
  fail "the system or driver directory changed: $(diff <(echo "$all_system_before") <(system_files) | head -5)"
rm -f "$system_dir/tlxsentinel.dll" "$system_dir/drivers/tlxsentinel.sys"
pass "records where every operator can write, or naming system files the release never carried: nothing moved or deleted, exit 5"
