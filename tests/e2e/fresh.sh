#!/usr/bin/env bash
# A controller PC that never had the package: no warning, the run without
# parameter transfer, the release in place, the final message, the end.
. "$(dirname "$0")/lib.sh"

clean_machine
place_setup "$TLX_E2E_DATA/base/Setup.exe"
marker="$out/final-box"
start_setup --try-keys --pause-at "TorneLix安装完成!=$(winpath "$marker")"
wait_for_file "$marker.ready" 90 || fail "the final message never came"
# The dialog with every label it showed, in Chinese, and the final message.
import -display "$DISPLAY" -window root "$out/dialog-zh.png" || fail "no screenshot"
touch "$marker"
wait_setup

expect_transcript 'dialog caption="Tornelix 安装程序..."'
expect_transcript "exit 0"
expect_no_transcript "timeout"
[ "$(box_texts)" = '"TorneLix安装完成!"' ] || fail "message boxes: $(box_texts)"
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
expect_states "0,1,2,5,6,7,8,10,12,15,16,20"
labels=$(grep '^label ' "$transcript" | awk '{print $2}' | paste -sd, -)
[ "$labels" = "140,141,145,146,149,150" ] || fail "labels shown: $labels"
expect_transcript 'label 150 "自动更新过程结束..."'
! grep '^keys ' "$transcript" | grep -qv 'keys refused' || fail "a key closed the dialog"
[ "$(grep -c '^keys refused' "$transcript")" -ge 5 ] || fail "keys were not tried at every label"
pass "no warning, states 0..20 without transfer, labels, final message, keys refused"

# The release is in place, with the active language written.
expect_file "$install_root/setup.cfg"
expect_file "$install_root/TorneLix/Tornelix.exe"
grep -q 'release=demo' "$install_root/TorneLix/release.txt" || fail "not the demo release"
grep -q '^ActiveLang=chn' "$install_root/TorneLix/Lang/Lang.ini" || fail "Lang.ini: $(cat "$install_root/TorneLix/Lang/Lang.ini")"
# The configuration directories keep only the zero-stamped copy and the settings.
for cfg in Mill Lathe; do
  left=$(cd "$install_root/TorneLix/config/$cfg" && ls | sort | paste -sd' ' -)
  [ "$left" = "amend.dat Tornelix-0000-00-00-00-00-00.dat Tornelix.dyn Tornelix.ini" ] || fail "config/$cfg holds: $left"
done
# The user tree went to the data drive and left the program tree.
expect_file "$D/Velko/TorneLix/user.ini"
expect_file "$D/Velko/TorneLix/Users/operator.txt"
expect_gone "$install_root/User"
# Machine-level pieces: system file, network batch, driver installer for 64-bit Windows.
expect_file "$system_dir/tlxdx.dll"
expect_file "$system_dir/drivers/tlxio.sys"
expect_file "$install_root/netsh/install.done"
grep -qP '^start\tInstallDrv_x64.exe\t\t' "$doubles_log" || fail "64-bit driver installer not started: $(cat "$doubles_log")"
! grep -q 'InstallDrv_x86' "$doubles_log" || fail "the 32-bit driver installer ran on 64-bit Windows"
! ls "$temp_dir"/sep*.tmp >/dev/null 2>&1 || fail "package temp file left behind"
setup_log | head -1 | grep -qP '^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\tSetUp启动\r?$' || fail "setup log: $(setup_log | head -1)"
pass "release in place, chn, purge, user tree, system file, netsh, InstallDrv_x64, setup log"
