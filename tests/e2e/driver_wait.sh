#!/usr/bin/env bash
# The driver installer holds its mutex for a while: the final message waits
# until it has ended. A 32-bit setup on 64-bit Windows starts the x64 one.
. "$(dirname "$0")/lib.sh"

clean_machine
place_setup "$TLX_E2E_DATA/base/Setup.exe"
marker="$out/final-box"
export TLX_DRIVER_HOLD_MS=6000
start_setup --pause-at "TorneLix安装完成!=$(winpath "$marker")"
wait_for_file "$marker.ready" 120 || fail "the final message never came"
# At the moment the final message appears the driver installer has ended.
at_box=$(cat "$doubles_log" 2>/dev/null || true)
touch "$marker"
wait_setup

grep -qP '^start\tInstallDrv_x64.exe\t\t' <<<"$at_box" || fail "x64 driver installer not started: $at_box"
grep -qP '^end\tInstallDrv_x64.exe' <<<"$at_box" || fail "final message before the driver installer ended: $at_box"
! grep -q 'InstallDrv_x86' "$doubles_log" || fail "the 32-bit driver installer ran on 64-bit Windows"
expect_transcript "exit 0"
expect_states "0,1,2,5,6,7,8,10,12,15,16,20"
pass "final message after the driver installer's end; InstallDrv_x64 under WOW64"
