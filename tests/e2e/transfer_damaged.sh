#!/usr/bin/env bash
# Damaged parameter data files: Lathe's (data tree, found first) has no
# backup and cannot be carried; Mill's (program tree) has a whole .bak, which
# takes its place and is carried. The question still names both; after the
# Yes, before anything is deleted, one OK/Cancel box names Lathe alone, and
# OK goes on without its values. (Cancel is faults_not_carried.)
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"

clean_machine
lay_out_transfer_machine
rm -f "$data_product/config/Mill/"* "$product/config/Lathe/"*
rmdir "$data_product/config/Mill" "$product/config/Lathe"
mkdir -p "$data_product/config/Lathe" "$product/config/Mill"
make_dat "$data_product/config/Lathe/tornelix.dat" --damaged "${lathe_values[@]}"
make_dat "$product/config/Mill/tornelix.dat" --damaged --backup "${mill_values[@]}"
cmp -s "$product/config/Mill/tornelix.dat" "$product/config/Mill/tornelix.dat.bak" && fail "Mill's data file is not damaged"

place_setup "$transfer_setup"
not_carried="以下配置的参数无法读取或保存"
start_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES" --answer "$not_carried=OK" \
  --pause-at "$not_carried=$(winpath "$out/not-carried-box")"
wait_for_file "$out/not-carried-box.ready" 60 || { wait_setup; fail "no message naming the configurations not carried: $(box_texts)"; }
# While the box is open nothing has been deleted yet.
grep -q 'old release' "$product/release.txt" || fail "the old program tree was touched before the answer"
expect_file "$data_product/config/Lathe/tornelix.dat"
expect_file "$data_product/Users/operator.txt"
touch "$out/not-carried-box"
wait_setup

expect_transcript "exit 1"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
expect_transcript 'buttons=YES,NO text="在重新装载软件时候，以下配置的参数可能可以被保留：\nLathe\nMill\n是否保留这些配置的参数？\n"'
expect_transcript 'box caption="Setup" buttons=OK,CANCEL text="以下配置的参数无法读取或保存，将不会被保留：\nLathe\n按<确定>按钮，不保留这些参数继续安装。\n按<取消>按钮，退出安装程序，不做任何更改。"'
[ "$(grep -c "$not_carried" "$transcript")" = 1 ] || fail "not one box of the configurations not carried: $(box_texts)"
expect_transcript 'buttons=OK text="以下配置：\nMill\n保留参数成功！\nMill：保留7个参数，丢弃3个'
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
pass "both named in the question; Lathe alone in the box before any deletion; OK goes on; only Mill in the summary; exit code 1"

expect_amend "$product/config/Mill/amend.dat" expected_mill
cmp -s "$product/config/Lathe/amend.dat" "$transfer_release/TorneLix/config/Lathe/amend.dat" ||
  fail "Lathe's amend.dat changed: $(cat "$product/config/Lathe/amend.dat")"
expect_gone "$temp_save"
expect_gone "$param_work"
log=$(setup_log)
grep -q '	参数迁移完成' <<<"$log" || fail "setup log lacks 参数迁移完成: $log"
tr -d '\r' <<<"$log" | grep -qx '.*	参数无法保留的配置：Lathe' || fail "setup log lacks the configuration not carried: $log"
pass "Mill restored from its backup and carried; Lathe skipped, its new amend.dat as shipped"

# The update's carry report names Lathe as unreadable, with its data file.
carry=$(ls "$D/Velko/Boot"/CarryReport-*.json 2>/dev/null | sort | tail -1)
[ -n "$carry" ] || fail "no carry report: $(ls "$D/Velko/Boot")"
python3 - "$carry" >"$out/carry-json.txt" <<'PY' || fail "carry report: $(cat "$out/carry-json.txt")"
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
assert doc["report"] == "CarryReport" and doc["exitCode"] is None, doc
assert [c["name"] for c in doc["configurations"]] == ["Mill"], doc["configurations"]
assert [u["name"] for u in doc["unreadable"]] == ["Lathe"], doc["unreadable"]
assert doc["unreadable"][0]["dataFile"].lower().endswith("\\config\\lathe\\tornelix.dat"), doc["unreadable"]
assert doc["release"] and len(doc["digest"]) == 32 and doc["computer"], doc
print("ok")
PY
pass "the carry report's JSON: Mill carried, Lathe unreadable with its data file, the release, digest and computer"
