#!/usr/bin/env bash
# Shops link part programs and tool tables into the product's trees from
# elsewhere. The data tree and the program tree each hold a Unix symbolic
# link to a directory outside (under Wine a directory reparse point, as a
# junction on Windows). After a full update, and after a failed package
# answered Cancel, every file behind the links is byte-identical and the
# data tree's link still leads where it led.
# Needs the set-aside journal to leave reparse points in place as well.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"

outside_data="$out/outside-data"
outside_prog="$out/outside-prog"
lay_out_links() {
  rm -rf "$outside_data" "$outside_prog"
  mkdir -p "$outside_data/sub" "$outside_prog"
  printf 'part program\r\n' >"$outside_data/O1000.nc"
  printf 'tool table\r\n' >"$outside_data/sub/tools.dat"
  printf 'tornelix.dat outside\r\n' >"$outside_data/sub/tornelix.dat"
  printf 'amend outside\r\n' >"$outside_prog/amend.dat"
  ln -s "$outside_data" "$data_product/Parts"
  ln -s "$outside_prog" "$product/Shared"
}
outside() { snapshot "$outside_data" "$outside_prog"; }
expect_links_kept() {
  local what=$1
  [ "$before_outside" = "$(outside)" ] ||
    fail "$what: files behind the links changed: $(diff <(echo "$before_outside") <(outside) | head -20)"
  [ "$(readlink "$data_product/Parts")" = "$outside_data" ] ||
    fail "$what: the data tree's link leads to '$(readlink "$data_product/Parts" || true)'"
}

# --- A full update with the parameters kept.
lay_out_rollback_machine
lay_out_links
before_outside=$(outside)
place_setup "$transfer_setup"
run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES"
cp "$transcript" "$out/transcript-update.txt"
expect_transcript "exit 0"
grep -q 'release=transfer' "$product/release.txt" || fail "update: not the new release"
expect_links_kept update
pass "a full update: the files behind both links byte-identical, the data tree's link in place"

# --- A package that fails; Cancel puts the previous release back.
lay_out_rollback_machine
lay_out_links
before_outside=$(outside)
before=$(snapshot "$install_root" "$D")
place_setup "$half_setup"
rm -f "$transcript"
TLX_PACKAGE_FAIL_TIMES=9 run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES" --answer "安装包运行失败=CANCEL"
cp "$transcript" "$out/transcript-cancel.txt"
expect_transcript "exit 4"
expect_links_kept cancel
[ -L "$product/Shared" ] && [ "$(readlink "$product/Shared")" = "$outside_prog" ] || fail "cancel: the program tree's link is gone"
[ "$before" = "$(snapshot "$install_root" "$D")" ] || fail "cancel: the machine is not as before"
pass "a failed package with Cancel: the files behind both links byte-identical, both links in place"

# --- Links planted for the elevated run to write through, in folders every
# operator can write: a directory of the system directory stands in for it.
system_target="$C/windows/system32/tlx-planted"
remove_target() { rm -rf "$system_target"; }
on_exit_remove_target() { trap 'remove_target; clean_machine' EXIT; }
lay_out_system_target() {
  remove_target
  mkdir -p "$system_target"
  printf 'system library\r\n' >"$system_target/kernel.dll"
  printf 'system log\r\n' >"$system_target/system.log"
  printf 'system settings\r\n' >"$system_target/system.ini"
}
system_files() { (cd "$system_target" && find . -printf '%p %s %M\n' | sort && md5sum $(find . -type f | sort)); }
expect_system_unchanged() {
  [ "$system_before" = "$(system_files)" ] ||
    fail "$1: the system directory changed: $(diff <(echo "$system_before") <(system_files) | head -20)"
}
on_exit_remove_target

# The setup log and the run state's temporary file in the boot directory are
# links to files of the system directory: neither is written through; the
# update itself is done, and the fallback log names the refused link.
lay_out_rollback_machine
lay_out_system_target
ln -s "$system_target/system.log" "$D/Velko/Boot/SetUp.log"
ln -s "$system_target/system.ini" "$D/Velko/Boot/SetupState.ini.new"
system_before=$(system_files)
fallback="$temp_dir/TornelixSetUp.log"
rm -f "$fallback"
place_setup "$transfer_setup"
setup_args=(/S)
rm -f "$transcript"
run_setup
cp "$transcript" "$out/transcript-file-links.txt"
cp "$fallback" "$out/TornelixSetUp-file-links.log" 2>/dev/null || true
expect_system_unchanged "file links"
[ -L "$D/Velko/Boot/SetUp.log" ] && [ -L "$D/Velko/Boot/SetupState.ini.new" ] || fail "file links: a planted link was moved or removed"
expect_transcript "exit 0"
grep -q 'release=transfer' "$product/release.txt" || fail "file links: not the new release"
fallback_text=$(iconv -f GBK -t UTF-8 "$fallback" | tr -d '\r')
grep -qF '拒绝通过链接写入：D:\Velko\Boot\SetUp.log' <<<"$fallback_text" || fail "file links: the fallback log does not name the link: $fallback_text"
grep -qF '运行状态文件无法写入：D:\Velko\Boot\SetupState.ini' <<<"$fallback_text" ||
  fail "file links: the fallback log does not say the run state was not written: $fallback_text"
pass "/S with SetUp.log and SetupState.ini.new links into the system directory: neither written through, installed, exit 0"

# The data drive's aside root is a link into the system directory: nothing is
# set aside through it, nothing is made or moved there.
lay_out_rollback_machine
lay_out_system_target
ln -s "$system_target" "$D/Velko.previous"
system_before=$(system_files)
before=$(snapshot "$install_root" "$D")
place_setup "$transfer_setup"
setup_args=(/S)
rm -f "$transcript"
run_setup
cp "$transcript" "$out/transcript-aside-link.txt"
setup_log >"$out/SetUp-aside-link.log" || true
expect_system_unchanged "aside link"
[ "$(readlink "$D/Velko.previous")" = "$system_target" ] || fail "aside link: the link was moved or changed"
pass "/S with the data drive's aside root a link into the system directory: nothing made or moved there ($(grep '^exit' "$transcript"))"
