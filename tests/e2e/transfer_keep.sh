#!/usr/bin/env bash
# The typical road with the parameters kept: configurations Mill (data tree)
# and Lathe (program tree) with data files of the older release's format; a
# newer release whose format dropped, shrank and added a member; the user
# answers OK and Yes. The new release's amend files carry the old values of
# what it still declares, the user's files come back, the work directories go.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"

clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" --backup "${mill_values[@]}"
make_dat "$product/config/Lathe/TORNELIX.DAT" --piece 24 "${lathe_values[@]}"
# Both files hold the controller block in stored and in LZO chunks.
for f in "$data_product/config/Mill/tornelix.dat" "$product/config/Lathe/TORNELIX.DAT"; do
  wine "$TLX_WIN_BIN/paramtool.exe" blocks "$(winpath "$f")" 2>/dev/null | tr -d '\r' >"$out/blocks.txt"
  grep -qP '^CController\t116 bytes\t[1-9]\d* stored\t[1-9]\d* compressed$' "$out/blocks.txt" ||
    fail "$f: $(cat "$out/blocks.txt")"
done
user_files_before=$(cd "$data_product" && md5sum user.ini Users/operator.txt config/Mill/machine.plc)

# What a service engineer reads offline before going to the machine: Mill's
# data file and format against the new release's format and amend file.
new_release="$transfer_release/TorneLix"
wine "$TLX_WIN_BIN/paramtool.exe" carry "$(winpath "$data_product/config/Mill/tornelix.dat")" "$(winpath "$old_fmt")" \
  "$(winpath "$new_release/tornelix.fmt")" "$(winpath "$new_release/config/Mill/amend.dat")" 2>"$out/carry.err" |
  iconv -f GBK -t UTF-8 | tr -d '\r' >"$out/carry-mill.txt" || fail "paramtool carry: $(cat "$out/carry.err")"
mill_report=$(printf '%s\n' '配置Mill：迁移7个值，丢弃3个值，新成员1个' '  丢弃（新版本没有此成员）：m_fOldGain = 0.75' \
  '  丢弃（新版本没有此成员）：m_naLimit[2] = 300' '  丢弃（新版本没有此成员）：m_naLimit[3] = -4' \
  '  新成员（保留新版本的默认值）：m_fNewFeed = 7.5')
[ "$(cat "$out/carry-mill.txt")" = "$mill_report" ] || fail "paramtool carry: $(cat "$out/carry-mill.txt")"
pass "paramtool carry before the update: Mill's 7 carried values, m_fOldGain = 0.75 and the shrunk array's elements dropped, m_fNewFeed = 7.5 new"

place_setup "$transfer_setup"
run_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES"

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
expect_transcript 'buttons=YES,NO text="在重新装载软件时候，以下配置的参数可能可以被保留：\nMill\nLathe\n是否保留这些配置的参数？\n"'
expect_transcript "answer YES"
# The summary names the merged configurations in the question's order, then
# what each carried, dropped and gained, and where the dropped values are.
report=$(ls "$D/Velko/Boot/" | grep -E '^CarryReport.*\.txt$' | tail -1)
[ -n "$report" ] || fail "no carry report beside the setup log: $(ls "$D/Velko/Boot/")"
summary='buttons=OK text="以下配置：\nMill\nLathe\n保留参数成功！\n'
summary+='Mill：保留7个参数，丢弃3个（新版本没有这些参数），新参数1个（使用新版本的默认值）。\n'
summary+='Lathe：保留7个参数，丢弃3个（新版本没有这些参数），新参数1个（使用新版本的默认值）。\n'
summary+="丢弃的参数及其原值见 D:\\\\Velko\\\\Boot\\\\$report\\n\""
expect_transcript "$summary"
[ "$(box_texts | wc -l)" = 4 ] || fail "message boxes: $(box_texts)"
pass "warning, question naming Mill and Lathe, Yes, summary of both, states 2, 3, 15 and 9"

# The merged amend files: the old value of every member still declared, the
# new release's value of the added member, no dropped or excluded member.
expect_amend "$product/config/Mill/amend.dat" expected_mill
expect_amend "$product/config/Lathe/amend.dat" expected_lathe
pass "config\\Mill\\amend.dat and config\\Lathe\\amend.dat carry the old values the new format declares"

# The new release is in force: its format and settings, and only the
# zero-stamped data file in each configuration directory.
grep -q 'release=transfer' "$product/release.txt" || fail "not the new release"
cmp -s "$product/tornelix.fmt" "$transfer_release/TorneLix/tornelix.fmt" || fail "tornelix.fmt is not the new release's"
for cfg in Mill Lathe; do
  left=$(cd "$product/config/$cfg" && ls | sort | paste -sd' ' -)
  [ "$left" = "amend.dat Tornelix-0000-00-00-00-00-00.dat Tornelix.dyn Tornelix.ini" ] || fail "config/$cfg holds: $left"
  for f in Tornelix.dyn Tornelix.ini; do
    cmp -s "$product/config/$cfg/$f" "$transfer_release/TorneLix/config/$cfg/$f" || fail "config/$cfg/$f is not the new release's"
  done
done
# The user's own files of the data tree are back, its parameter files are not.
after=$(cd "$data_product" && md5sum user.ini Users/operator.txt config/Mill/machine.plc 2>&1) || true
[ "$after" = "$user_files_before" ] || fail "user files: $after"
expect_no_parameter_files "$data_product"
expect_gone "$install_root/User"
pass "new release's parameter files in force; user files of the data tree back without the old parameter files"

expect_gone "$temp_save"
expect_gone "$param_work"
# Once the update has succeeded the old release is only kept as the
# previous release.
expect_only_kept_release
log=$(setup_log)
grep -q '	需要进行参数迁移' <<<"$log" || fail "setup log lacks 需要进行参数迁移: $log"
grep -q '	参数迁移完成' <<<"$log" || fail "setup log lacks 参数迁移完成: $log"
tr -d '\r' <<<"$log" | grep -A3 '	以下配置：' | sed 's/^.*\t//' | paste -sd, - |
  grep -qxE '以下配置：,(Mill,Lathe|Lathe,Mill),保留参数成功！' ||
  fail "setup log summary: $log"
pass "TempSaveDir, ParamWorkDir, the set-aside release and the journal gone; setup log: transfer needed, summary, transfer complete"

# The carry report after the update: the same lines for Mill as paramtool
# gave before it, in the setup log and in one GBK report file beside it.
reports=("$D"/Velko/Boot/CarryReport-*.txt)
[ ${#reports[@]} = 1 ] && [ -f "${reports[0]}" ] || fail "carry report files: ${reports[*]}"
iconv -f GBK -t UTF-8 "${reports[0]}" >"$out/carry-report.txt" || fail "the report file is not GBK"
grep -qv $'\r$' "$out/carry-report.txt" && fail "the report file has lines without CR LF"
# Mill's counts line and the indented lines after it.
mill_block() { tr -d '\r' | awk '/^配置Mill：/ { on = 1; print; next } on && /^  / { print; next } { on = 0 }'; }
[ "$(mill_block <"$out/carry-report.txt")" = "$mill_report" ] || fail "report file: $(cat "$out/carry-report.txt")"
grep -q '^配置Lathe：迁移7个值，丢弃3个值，新成员1个' <(tr -d '\r' <"$out/carry-report.txt") || fail "report file lacks Lathe: $(cat "$out/carry-report.txt")"
[ "$(sed 's/^[^\t]*\t//' <<<"$log" | mill_block)" = "$mill_report" ] || fail "setup log's carry report: $log"
report_name=$(basename "${reports[0]}")
grep -qF "报告文件：D:\\Velko\\Boot\\$report_name" <<<"$log" || fail "the setup log does not name the report file: $log"
pass "carry report after the update: Mill's lines as paramtool gave them in the setup log and in $(basename "${reports[0]}") (GBK, CR LF), Lathe's counts"

# Its JSON twin, for programs: same base name, UTF-8, the dropped values with
# their old values and the new member with its default; no exit code yet.
json="${reports[0]%.txt}.json"
[ -f "$json" ] || fail "no JSON beside $report_name: $(ls "$D"/Velko/Boot)"
[[ "$report_name" =~ ^CarryReport-[0-9]{8}-[0-9]{6}-01\.txt$ ]] || fail "report name does not sort by time: $report_name"
grep -qF "报告文件：D:\\Velko\\Boot\\${report_name%.txt}.json" <<<"$log" || fail "the setup log does not name the JSON: $log"
python3 - "$json" >"$out/carry-report-json.txt" <<'PY' || fail "JSON report: $(cat "$out/carry-report-json.txt")"
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
assert doc["report"] == "CarryReport" and doc["exitCode"] is None, doc
assert doc["outcome"] == "values-dropped", doc["outcome"]
mill = next(c for c in doc["configurations"] if c["name"] == "Mill")
assert mill["carried"] == 7, mill
assert mill["dropped"] == [{"name": "m_fOldGain", "value": "0.75"}, {"name": "m_naLimit[2]", "value": "300"},
                           {"name": "m_naLimit[3]", "value": "-4"}], mill["dropped"]
assert mill["new"] == [{"name": "m_fNewFeed", "default": "7.5"}], mill["new"]
assert "配置Mill：迁移7个值，丢弃3个值，新成员1个" in doc["lines"], doc["lines"]
print("ok")
PY
pass "the carry report's JSON twin $(basename "$json"): Mill's 7 carried, its 3 dropped values with their old values, the new member with its default, no exit code (the run state holds it)"
