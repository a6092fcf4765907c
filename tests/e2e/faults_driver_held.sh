#!/usr/bin/env bash
# The machine's driver cannot be replaced: another program holds the old
# release's tlxio.sys open without sharing. The wipe names it, and the user
# goes on with Cancel, so the package cannot overwrite it and state 12 cannot
# read it. The driver in the drivers directory must stay as it was, byte for
# byte (deleting it first and then failing to copy left the machine without
# one); the user sees the driver message, then the final message; the setup
# log names the driver, the copy that failed and the system's error.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

clean_machine
lay_out_old_installation
old_driver="$system_dir/drivers/tlxio.sys"
printf 'TLXIO driver in service\r\n' >"$old_driver"
driver_before=$(md5sum <"$old_driver")
held="$install_root/TorneLix/tlxio.sys"
printf 'TLXIO driver of the old release\r\n' >"$held"
hold_file "$held"
on_exit_first release_file

place_setup "$TLX_E2E_DATA/base/Setup.exe"
run_setup --answer "警告=OK" --answer "是否保留=NO" --answer "正被其他程序使用=CANCEL"
release_file

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,5,6,7,8,10,12,15,16,20"
expect_transcript 'buttons=OK,CANCEL text="文件(C:\\Program Files (x86)\\Velko\\TorneLix\\tlxio.sys)正被其他程序使用，无法删除。'
expect_transcript 'box caption="Setup" buttons=OK text="安装tlxio.sys失败！"'
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
pass "the held file named, Cancel; the driver message for tlxio.sys; the final message"

[ "$(md5sum <"$old_driver")" = "$driver_before" ] || fail "the driver in service changed: $(cat "$old_driver")"
expect_gone "$old_driver.new"
grep -q 'release=demo' "$install_root/TorneLix/release.txt" || fail "not the demo release"
setup_log | grep -qF '文件被占用，未删除：C:\Program Files (x86)\Velko\TorneLix\tlxio.sys' || fail "setup log: $(setup_log)"
# The setup log says which driver, the copy that failed and the system's error.
setup_log | grep -qE '安装驱动失败：C:\\windows\\system32\\drivers\\tlxio\.sys（无法复制 C:\\Program Files \(x86\)\\Velko\\TorneLix\\tlxio\.sys 到 [^）]*tlxio\.sys\.new，Windows 错误 [0-9]+）；原来的驱动保持不变' ||
  fail "the setup log does not name the driver and the error: $(setup_log | grep 驱动)"
pass "the driver in service byte-identical, no half copy beside it; the rest of the release in place"
