#!/usr/bin/env bash
# The control program still runs: the setup shows only its first label until
# the control program's mutex is gone, then warns, wipes the old installation
# (trees, wizards, shortcuts) and installs.
. "$(dirname "$0")/lib.sh"

clean_machine
lay_out_old_installation
place_setup "$TLX_E2E_DATA/base/Setup.exe"
release="$out/release-control"
ready="$out/control-ready"
wine "$TLX_WIN_BIN/double_control.exe" --until-file "$(winpath "$release")" --ready-file "$(winpath "$ready")" \
  >/dev/null 2>&1 &
control_pid=$!
wait_for_file "$ready" 30 || fail "the control program double did not start"
start_setup --try-keys --answer "警告=OK" --answer "是否保留=NO"
sleep 5
early=$(cat "$transcript")
touch "$release"
wait "$control_pid" || true
wait_setup

grep -q '^label 140 ' <<<"$early" || fail "label 140 not shown while waiting"
! grep -q '^label 14[1-9]\|^label 15' <<<"$early" || fail "went on while the control program ran: $early"
! grep -q '^box ' <<<"$early" || fail "a message while the control program ran: $early"
grep -q '^keys refused' <<<"$early" || fail "keys not tried while waiting"
pass "only label 140 while the control program runs"

expect_transcript 'text="警告！\n安装程序将删除(C:\\Program Files (x86)\\Velko\\)'
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
expect_transcript "exit 0"
expect_states "0,1,2,5,6,7,8,10,12,15,16,20"
! grep '^keys ' "$transcript" | grep -qv 'keys refused' || fail "a key closed the dialog"
# The old installation is gone; the new one is in its place.
expect_gone "$install_root/old-only.txt"
grep -q 'release=demo' "$install_root/TorneLix/release.txt" || fail "not the demo release"
expect_gone "$D/Velko/TorneLix/config/Mill/Tornelix.dat"
expect_file "$D/Velko/TorneLix/user.ini"
expect_gone "$D/NcFiles/Wizards"
expect_gone "$desktop/Tornelix.lnk"
expect_gone "$desktop/Torne lix.lnk"
expect_gone "$programs/Tornelix.lnk"
expect_file "$desktop/Other.lnk"
setup_log | grep -c 'SetUp启动' | grep -qx 1 || fail "setup log: $(setup_log)"
pass "after the control program ended: warning, wipe of trees, wizards and shortcuts, install"
