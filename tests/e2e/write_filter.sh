#!/usr/bin/env bash
# A write-protected system (ewfmgr.exe and drivers\ewf.sys in the system
# directory): notices for the first-run program in Boot.ini, the commit,
# FirstRun started, no driver installer, no final message, last label 150.
. "$(dirname "$0")/lib.sh"

clean_machine
make_write_filter_system
lay_out_old_installation
mkdir -p "$C/Velko"
printf 'left on the protected volume\r\n' >"$C/Velko/stale.txt"
place_setup "$TLX_E2E_DATA/base/Setup.exe"
run_setup --answer "警告=OK" --answer "是否保留=NO"

expect_states "0,1,2,5,6,7,8,10,12,15,16,20"
expect_transcript "exit 0"
[ "$(grep -c "^box " "$transcript")" = 2 ] || fail "messages besides the warning and the keep-parameters question: $(box_texts)"
expect_no_transcript "安装完成"
[ "$(last_label)" = 150 ] || fail "last label $(last_label)"
expect_transcript 'label 149 "安装驱动程序..."'
boot="$D/Velko/Boot/Boot.ini"
expect_file "$boot"
grep -q '^\[Operation\]' "$boot" || fail "Boot.ini: $(cat "$boot")"
grep -q '^InstallDriver=1' "$boot" || fail "no InstallDriver notice: $(cat "$boot")"
grep -q '^Commit=1' "$boot" || fail "no Commit notice: $(cat "$boot")"
grep -qP '^start\tewfmgr.exe\tc: -commit\t' "$doubles_log" || fail "ewfmgr not started with c: -commit: $(cat "$doubles_log")"
grep -qP '^start\tFirstRun.exe\t' "$doubles_log" || fail "FirstRun not started: $(cat "$doubles_log")"
! grep -q 'InstallDrv' "$doubles_log" || fail "the driver installer ran on a write-filter system"
setup_log | grep -qP '\t通知 FirstRun 安装驱动\r?$' || fail "setup log lacks the driver notice: $(setup_log)"
setup_log | grep -qP '\t通知 FirstRun 提交更改\r?$' || fail "setup log lacks the commit notice: $(setup_log)"
expect_gone "$C/Velko"
pass "Boot.ini notices, ewfmgr c: -commit, FirstRun, no final message, last label 150, setup-log lines"
