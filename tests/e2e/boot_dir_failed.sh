#!/usr/bin/env bash
# The boot directory cannot be made (a file stands in its place): the
# start-up message, no dialog, no log, nothing else.
# The boot directory is a link an operator planted (a Unix symbolic link,
# which Wine shows as a directory reparse point, as a junction on Windows) to
# a directory of the system directory, and the setup runs with /S: it is no
# boot directory; nothing in the system directory changes, byte for byte, no
# file appears there, the same message and exit 2, and the fallback log names
# the link that was not written through.
. "$(dirname "$0")/lib.sh"

clean_machine
lay_out_old_installation
rm -rf "$D/Velko/Boot"
printf 'not a directory\r\n' >"$D/Velko/Boot"
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
place_setup "$TLX_E2E_DATA/base/Setup.exe"
run_setup

[ "$(box_texts)" = '"创建启动目录失败，请检查！"' ] || fail "message boxes: $(box_texts)"
expect_transcript 'box caption="Setup" buttons=OK text='
expect_no_transcript "dialog caption"
expect_transcript "exit 2"
after=$(snapshot "$install_root" "$D" "$desktop" "$programs")
[ "$before" = "$after" ] || fail "the machine changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
pass "boot directory message, no dialog, nothing changed"

# --- The boot directory a link into the system directory.
system_target="$C/windows/system32/tlx-planted-boot"
remove_target() { rm -rf "$system_target"; }
trap 'remove_target; clean_machine' EXIT
clean_machine
lay_out_old_installation
remove_target
mkdir -p "$system_target"
# What a system directory holds, and files of the names the setup writes,
# replaces and prunes in its boot directory.
printf 'system library\r\n' >"$system_target/kernel.dll"
printf 'a log of the system\r\n' >"$system_target/SetUp.log"
printf '[Installed]\r\nRelease=system\r\n' >"$system_target/SetupState.ini"
for n in $(seq -w 1 25); do
  printf 'report %s\r\n' "$n" >"$system_target/carry-20200101-0000$n-01.txt"
done
rm -rf "$D/Velko/Boot"
ln -s "$system_target" "$D/Velko/Boot"
fallback="$temp_dir/TornelixSetUp.log"
rm -f "$fallback"
system_before=$(cd "$system_target" && find . -printf '%p %s %M\n' | sort && md5sum $(find . -type f | sort))
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
place_setup "$TLX_E2E_DATA/base/Setup.exe"
setup_args=(/S)
rm -f "$transcript"
run_setup --report-windows
cp "$transcript" "$out/transcript-linked.txt"
cp "$fallback" "$out/TornelixSetUp-linked.log" 2>/dev/null || true

system_after=$(cd "$system_target" && find . -printf '%p %s %M\n' | sort && md5sum $(find . -type f | sort))
[ "$system_before" = "$system_after" ] ||
  fail "linked: the system directory changed: $(diff <(echo "$system_before") <(echo "$system_after") | head -20)"
[ -L "$D/Velko/Boot" ] && [ "$(readlink "$D/Velko/Boot")" = "$system_target" ] || fail "linked: the link was moved or changed"
[ "$before" = "$(snapshot "$install_root" "$D" "$desktop" "$programs")" ] || fail "linked: the machine changed"
expect_transcript "exit 2"
! grep -qE '^(dialog|label|box|window|answer) ' "$transcript" || fail "linked: the setup showed something"
[ -f "$fallback" ] || fail "linked: no fallback log"
fallback_text=$(iconv -f GBK -t UTF-8 "$fallback" | tr -d '\r')
grep -qF '拒绝通过链接写入：D:\Velko\Boot' <<<"$fallback_text" || fail "linked: the fallback log does not name the link: $fallback_text"
grep -qF '静默安装，未显示的消息：创建启动目录失败，请检查！' <<<"$fallback_text" ||
  fail "linked: the fallback log lacks the boot directory's message: $fallback_text"
grep -qF '静默安装结束，退出代码 2' <<<"$fallback_text" || fail "linked: the fallback log lacks the closing line: $fallback_text"
pass "/S with the boot directory a link into the system directory: nothing there changed, exit 2, the link named"
