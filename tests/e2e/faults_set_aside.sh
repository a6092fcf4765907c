#!/usr/bin/env bash
# The set-aside attacked: files held open in both trees under a failing
# package, leftovers of an earlier run's set-aside with stale files, a run
# cut between making its directories and recording a move, a garbled
# journal, and a data drive too full for the journal. Each ends with
# the machine whole and an honest message and exit code.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
package_tree=$TLX_PACKAGE_TREE
unset TLX_PACKAGE_TREE
answers=(--answer "警告=OK" --answer "是否保留这些配置的参数=YES")

on_exit_first release_file

# 1. A file held in the program tree and one of the machine's values in the
# data tree (an operator's file would never be moved), Cancel at the
# file-in-use box, a package that fails half-way, Cancel again: both trees,
# the shortcuts and the drivers directory as before, byte for byte.
lay_out_rollback_machine
printf 'the machine'"'"'s own driver\r\n' >"$system_dir/drivers/tlxio.sys"
before=$(snapshot "$install_root" "$D" "$desktop" "$programs" "$system_dir/drivers")
hold_file "$product/Tornelix.exe"
# Others may read this one: the save of state 2 reads it, the set-aside
# cannot move it.
hold_file "$data_product/config/Mill/tornelix.dat" read
place_setup "$half_setup"
TLX_PACKAGE_TREE=$package_tree TLX_PACKAGE_FAIL_TIMES=9 run_setup "${answers[@]}" \
  --answer "正被其他程序使用=CANCEL" --answer "安装包运行失败=CANCEL"
release_file
cp "$transcript" "$out/transcript-held.txt"
expect_transcript "exit 4"
expect_transcript 'text="更新失败，原来的版本已恢复。安装程序退出。"'
after=$(snapshot "$install_root" "$D" "$desktop" "$programs" "$system_dir/drivers")
[ "$before" = "$after" ] || fail "held files: not as before: $(diff <(echo "$before") <(echo "$after") | head -20)"
expect_gone "$system_dir/tlxdx.dll"
expect_nothing_set_aside
setup_log | grep -q "文件被占用，未删除：D:\\\\Velko\\\\TorneLix\\\\config\\\\Mill\\\\tornelix.dat" ||
  fail "the held file of the data tree is not in the setup log: $(setup_log | tail -5)"
pass "held files in both trees, failing package, Cancel: every file as before"

# 2. What an earlier run left set aside, with stale parameter and program
# files under the names this run's set-aside used to take: left alone and
# named, and nothing of it reaches the new trees.
lay_out_rollback_machine
mkdir -p "$D/Velko.previous/1/config/Mill" "${install_root}.previous/1/TorneLix" "${install_root}.previous/2"
make_dat "$D/Velko.previous/1/config/Mill/tornelix.dat" m__df_beginCController=1 m_fSpeed=99 m__df_endCController=9
printf 'stale user file\r\n' >"$D/Velko.previous/1/stale.txt"
printf 'stale program\r\n' >"${install_root}.previous/1/TorneLix/Tornelix.exe"
printf 'stale\r\n' >"${install_root}.previous/2/stale.txt"
leftovers() { snapshot "$D/Velko.previous" "${install_root}.previous" | grep -v "\./$(kept_tag)\(/\|$\)"; }
leftovers_before=$(leftovers)
place_setup "$transfer_setup"
rm -f "$transcript"
run_setup "${answers[@]}"
expect_transcript "exit 0"
expect_transcript 'text="TorneLix安装完成!"'
expect_carried
grep -q 'release=transfer' "$product/release.txt" || fail "not the new release"
grep -rqs "stale" "$install_root" "$data_product" && fail "a stale file reached the new trees"
[ -n "$(kept_tag)" ] || fail "the previous release was not kept"
[ "$(leftovers)" = "$leftovers_before" ] || fail "the leftovers were changed"
setup_log | grep -q '遗留的备份目录，未作改动：D:\\Velko.previous\\1' || fail "leftover not named: $(setup_log | tail -5)"
expect_gone "$records/SetUp.journal"
pass "an earlier run's set-aside leftovers: left alone and named; the values exact, nothing stale in the new trees"
rm -rf "$D/Velko.previous" "${install_root}.previous"

# 3. A run cut after it made its directories and before it recorded a move
# into them: its journal names its tag and nothing else. The next start
# removes them as the run's own; nothing is left to be named as a leftover.
lay_out_rollback_machine
journal_line() {
  python3 -c 'import sys, zlib
b = "\t".join(sys.argv[1:])
sys.stdout.write("%s\t%08x\r\n" % (b, zlib.crc32(b.encode()) & 0xffffffff))' "$@"
}
mkdir -p "$D/Velko/Boot" "$records" "$D/Velko.previous/0badc0de" "${install_root}.previous/0badc0de"
{ journal_line TLXJOURNAL 2; journal_line tag 0badc0de; journal_line phase setting-aside; } >"$records/SetUp.journal"
place_setup "$transfer_setup"
rm -f "$transcript"
run_setup "${answers[@]}"
expect_transcript "exit 0"
expect_carried
expect_gone "$D/Velko.previous/0badc0de"
expect_gone "${install_root}.previous/0badc0de"
if setup_log | grep -q '遗留的备份目录'; then fail "the cut run's own directories named as leftovers: $(setup_log | grep '遗留')"; fi
expect_gone "$records/SetUp.journal"
pass "a run cut between making its directories and recording a move: they go at the next start, none named as a leftover"
rm -rf "$D/Velko.previous" "${install_root}.previous"

# 4. A journal garbled on the disk: the setup cannot tell what the cut run
# did, so it changes nothing, names the journal and ends with exit code 5.
lay_out_rollback_machine
mkdir -p "$records"
printf 'TLXJOURNAL\t2\t00000000\r\naside\tD:\\Velko\\TorneLix\r\n' >"$records/SetUp.journal"
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
place_setup "$transfer_setup"
rm -f "$transcript"
run_setup "${answers[@]}"
expect_transcript "exit 5"
expect_transcript 'text="安装记录文件 '"$records_win"'\\SetUp.journal 已损坏，无法判断上次安装做了哪些更改。\n为免丢失数据，安装程序没有做任何更改并退出。请联系服务工程师。"'
expect_no_transcript "警告"
[ "$(snapshot "$install_root" "$D" "$desktop" "$programs")" = "$before" ] || fail "a garbled journal changed the machine"
pass "a garbled journal: named, exit code 5, nothing changed"
rm -f "$records/SetUp.journal"

# 5. A records directory that cannot be written (here a file stands in its
# place): nothing is moved or deleted, the message names the journal and its
# drive, exit code 2.
lay_out_rollback_machine
rm -rf "$records"
printf 'not a directory\r\n' >"$records"
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
place_setup "$transfer_setup"
rm -f "$transcript"
run_setup "${answers[@]}"
cp "$transcript" "$out/transcript-full.txt"
expect_transcript "exit 2"
expect_transcript 'text="无法写入安装记录文件 '"$records_win"'\\SetUp.journal（C: 盘已满或不可写）。\n原来的版本保持不变，安装程序退出。"'
after=$(snapshot "$install_root" "$D" "$desktop" "$programs")
[ "$after" = "$before" ] || fail "unwritable records: changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
rm -f "$records"
pass "a records directory that cannot be written: named, exit code 2, nothing moved or deleted"
