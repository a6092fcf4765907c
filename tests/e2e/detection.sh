#!/usr/bin/env bash
# The detection rule a deployment engine evaluates, as docs/fleet.md writes
# it, after each kind of run: the registry rule (the key's ReleaseDigest) and
# the file rule (SetupState.ini's [Installed] Digest) must name the release
# that runs -- after an update whose values were not all carried, after runs
# that changed nothing (2, 3, 13), a run cut while its package ran, a
# /ROLLBACK, and a /ROLLBACK stopped while the kept release moved in (a held
# file) and finished by the next start. The system's list of installed
# programs (the Uninstall key's entry) names the same release each time, by
# its name: after an update, after a failed update that was undone (exit 4),
# and after /ROLLBACK; its command says there is no uninstaller and changes
# nothing.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
. "$(dirname "$0")/faults_lib.sh"
unset TLX_PACKAGE_TREE

state_key='HKLM\Software\Velko\TorneLix\Setup'
setup_digest() { head -c $(($(stat -c %s "$1") - 24)) "$1" | md5sum | cut -c1-32; }
reg_digest() {
  wine reg query "$state_key" /v ReleaseDigest /reg:32 2>/dev/null | tr -d '\r' | awk '$1 == "ReleaseDigest" { print $3 }'
}
file_digest() {
  tr -d '\r' <"$D/Velko/Boot/SetupState.ini" 2>/dev/null |
    awk '/^\[/ { s = $0 } s == "[Installed]" && /^Digest=/ { sub(/^Digest=/, ""); print }'
}
programs_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TorneLix'
# A value of a key in the 32-bit view, as `reg query` prints it (REG_DWORD as 0x…).
reg_value() {
  wine reg query "$1" /v "$2" /reg:32 2>/dev/null | iconv -f GBK -t UTF-8 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 \{1,\}REG_[A-Z_]* \{1,\}//p"
}
# The release that runs, by both rules, and the installed-programs entry
# naming it as the run state does.
expect_detected() {
  local what=$1 digest=$2
  [ "$(reg_digest)" = "$digest" ] || fail "$what: the registry rule says $(reg_digest), expected $digest"
  [ "$(file_digest)" = "$digest" ] || fail "$what: the file rule says $(file_digest), expected $digest"
  local listed release
  listed=$(reg_value "$programs_key" DisplayVersion)
  release=$(reg_value "$state_key" Release)
  [ -n "$release" ] && [ "$listed" = "$release" ] ||
    fail "$what: the installed programs list $listed, the run state names $release"
}
# The entry's values as a person sees them in the list, for the release
# named NAME: the program tree's size in KB (rounded up) and a command that
# changes nothing.
expect_listed() {
  local what=$1 name=$2
  [ "$(reg_value "$programs_key" DisplayVersion)" = "$name" ] ||
    fail "$what: the installed programs list $(reg_value "$programs_key" DisplayVersion), expected $name"
  [ "$(reg_value "$programs_key" DisplayName)" = "Tornelix" ] || fail "$what: DisplayName $(reg_value "$programs_key" DisplayName)"
  [ "$(reg_value "$programs_key" Publisher)" = "Velko" ] || fail "$what: Publisher $(reg_value "$programs_key" Publisher)"
  [ "$(reg_value "$programs_key" InstallLocation)" = 'C:\Program Files (x86)\Velko\' ] ||
    fail "$what: InstallLocation $(reg_value "$programs_key" InstallLocation)"
  [ "$(reg_value "$programs_key" NoModify)" = 0x1 ] || fail "$what: NoModify $(reg_value "$programs_key" NoModify)"
  [ "$(reg_value "$programs_key" NoRepair)" = 0x1 ] || fail "$what: NoRepair $(reg_value "$programs_key" NoRepair)"
  local bytes kb
  bytes=$(find "$install_root" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d", s }')
  kb=$(((bytes + 1023) / 1024))
  [ "$(reg_value "$programs_key" EstimatedSize)" = "$(printf '0x%x' "$kb")" ] ||
    fail "$what: EstimatedSize $(reg_value "$programs_key" EstimatedSize), the program tree has $kb KB"
  local command before after
  command=$(reg_value "$programs_key" UninstallString)
  before=$(snapshot "$install_root" "$D" "$records" "$desktop" "$programs")
  # Run as the list runs it: the command line as it stands.
  printf '@%s\r\n' "$command" | iconv -f UTF-8 -t GBK >"$out/uninstall.bat"
  wine cmd /c "$(winpath "$out/uninstall.bat")" </dev/null >"$out/uninstall.out" 2>&1 || true
  after=$(snapshot "$install_root" "$D" "$records" "$desktop" "$programs")
  [ "$before" = "$after" ] || fail "$what: the uninstall command changed the machine"
  iconv -f GBK -t UTF-8 "$out/uninstall.out" | grep -q "^TorneLix 没有卸载程序。" ||
    fail "$what: the uninstall command does not say that there is none: $(iconv -f GBK -t UTF-8 "$out/uninstall.out")"
}
wine reg delete "$state_key" /f /reg:32 >/dev/null 2>&1 || true
wine reg delete "$programs_key" /f /reg:32 >/dev/null 2>&1 || true

# Two releases: A (the transfer release) and B (the same tree laid by the
# package double, so that a run of it can be cut while its package runs).
release_a="$transfer_setup"
release_b="$half_setup"
digest_a=$(setup_digest "$release_a")
digest_b=$(setup_digest "$release_b")
export TLX_PACKAGE_TREE=$(winpath "$transfer_release") TLX_PACKAGE_EXIT=0

# --- A over the old release, Lathe's values unreadable: /GOON, exit 1.
lay_out_rollback_machine
make_dat "$product/config/Lathe/TORNELIX.DAT" --damaged "${lathe_values[@]}"
place_setup "$release_a"
silent_run /S /GOON
expect_transcript "exit 1"
expect_detected "after an update that did not carry every value" "$digest_a"
expect_listed "after an update" "Transfer 2.0"

# --- A run of B cut while its package runs: the rule still names A; the
# next start undoes it and installs B (keeping nothing).
place_setup "$release_b"
rm -f "$package_runs" "$out/hang"
setup_args=(/S /NOKEEP)
rm -f "$transcript"
TLX_PACKAGE_FAIL_TIMES=9 TLX_PACKAGE_HANG_FILE=$(winpath "$out/hang") start_setup
wait_for_file "$out/hang" 120 || fail "the package never got half-way"
wineserver -k
wait "$robot_pid" || true
expect_file "$records/SetUp.journal"
expect_detected "after a run cut while its package ran" "$digest_a"
silent_run /S /NOKEEP
expect_transcript "exit 0"
expect_detected "after the next start undid the cut run and installed B" "$digest_b"
expect_listed "after the next start undid the cut run and installed B" "Setup.exe"
pass "the rule names the release in place after 1, after a cut run, and after the next start"

# --- Runs that change nothing: nothing kept to go back to, the control
# program through /WAIT, a damaged setup file.
silent_run /S /ROLLBACK
expect_transcript "exit 13"
expect_detected "after a refused /ROLLBACK (13)" "$digest_b"
start_control_program
place_setup "$release_a"
silent_run /S /WAIT=2
stop_control_program
expect_transcript "exit 2"
expect_detected "after the control program outlasted /WAIT (2)" "$digest_b"
bad="$out/Setup-damaged.exe"
cp "$release_a" "$bad"
offset=$(($(stat -c %s "$bad") - 24 - 4096))
printf '\377' | dd of="$bad" bs=1 seek="$offset" conv=notrunc status=none
cmp -s "$release_a" "$bad" && fail "the copy is not damaged"
place_setup "$bad"
silent_run /S
expect_transcript "exit 3"
expect_detected "after a damaged setup file (3)" "$digest_b"
pass "runs that changed nothing (13, 2, 3) leave the rule on the release in place"

# --- A again, keeping B; /ROLLBACK to B; then a /ROLLBACK cut while A moves
# back in, finished by the next start (cancelled at the wipe warning).
place_setup "$release_a"
silent_run /S
expect_transcript "exit 0"
expect_detected "after A over B" "$digest_a"
expect_listed "after A over B" "Transfer 2.0"
# B again, its package failing: Cancel puts A back (4), and the list still
# names A, the release that runs.
place_setup "$release_b"
rm -f "$package_runs"
TLX_PACKAGE_FAIL_TIMES=1 TLX_PACKAGE_EXIT=7 silent_run /S
expect_transcript "exit 4"
expect_detected "after a failed update that was undone (4)" "$digest_a"
expect_listed "after a failed update that was undone (4)" "Transfer 2.0"
place_setup "$release_a"
lines=$(setup_log | wc -l)
silent_run /S /CHECK /ROLLBACK
expect_transcript "exit 0"
setup_log | tail -n +$((lines + 1)) | grep -q "保留的上一版本：.*摘要 $digest_b" ||
  fail "/CHECK /ROLLBACK does not name the kept release B by its digest"
setup_log | tail -n +$((lines + 1)) | grep -qF "放回：D:\Velko\TorneLix" ||
  fail "/CHECK /ROLLBACK does not say that the data tree would come back"
silent_run /S /ROLLBACK
expect_transcript "exit 0"
expect_detected "after /ROLLBACK" "$digest_b"
expect_listed "after /ROLLBACK" "Setup.exe"
# A file of the kept release A held open: the swap moves B out, cannot
# move A wholly in, and stays for the next start to finish.
swap_record="$records/SetUp.swap"
held=$(find "${install_root}.previous/$(kept_tag)" -type f | head -1)
[ -n "$held" ] || fail "nothing kept of A's program tree"
hold_file "$held"
silent_run /S /ROLLBACK
expect_transcript "exit 5"
expect_file "$swap_record"
expect_detected "after a /ROLLBACK that could not move A wholly in" "$digest_b"
release_file
setup_args=()
rm -f "$transcript"
run_setup --answer "警告=CANCEL"
expect_transcript "exit 2"
expect_gone "$swap_record"
expect_detected "after the next start finished the swap" "$digest_a"
expect_listed "after the next start finished the swap" "Transfer 2.0"
tr -d '\r' <"$D/Velko/Boot/SetupState.ini" | grep -qx "Digest=$digest_b" ||
  fail "[Kept] does not name B: $(cat "$D/Velko/Boot/SetupState.ini")"
pass "/ROLLBACK, and a /ROLLBACK stopped half-way and finished at the next start: the rule names the release that runs"
