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
