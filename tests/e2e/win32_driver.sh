#!/usr/bin/env bash
# The same setup on a 32-bit Windows: the 32-bit driver installer is the one
# started, with no parameter, and the final message waits for it.
export TLX_E2E_WIN32=1
. "$(dirname "$0")/lib.sh"

clean_machine
place_setup "$TLX_E2E_DATA/base/Setup.exe"
export TLX_DRIVER_HOLD_MS=3000
run_setup

expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
expect_transcript "exit 0"
expect_states "0,1,2,5,6,7,8,10,12,15,16,20"
grep -qP '^start\tInstallDrv_x86.exe\t\t' "$doubles_log" || fail "32-bit driver installer not started: $(cat "$doubles_log")"
grep -qP '^end\tInstallDrv_x86.exe' "$doubles_log" || fail "the setup ended before the driver installer"
! grep -q 'InstallDrv_x64' "$doubles_log" || fail "the 64-bit driver installer ran on 32-bit Windows"
expect_file "$install_root/TorneLix/Tornelix.exe"
expect_file "$system_dir/tlxdx.dll"
pass "InstallDrv_x86 on 32-bit Windows; the release under $(basename "$(dirname "$install_root")")"
