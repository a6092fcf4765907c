#!/usr/bin/env bash
# Setup.exe /CHECK on the transfer machine: whether an update would go
# through and what it would carry, with nothing changed but the setup log and
# one report file beside it (checked file by file before and after).
#   /S /CHECK on a machine whose values all have a member: exit 0; among 21
#             older reports, the newest 20 runs' kept (older names too)
#   /S /CHECK with the older format (m_fOldGain gone in the new release): exit 11,
#             the dropped value with its old value, the new member with its default,
#             in the text report and its JSON twin
#   /S /CHECK with Lathe's data file damaged: exit 9, Lathe named beside the log
#   /S /CHECK /WAIT=2 while the control program runs: exit 2
#   /CHECK in the window: the report in one box with OK
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"

new_fmt="$(dirname "$0")/transfer/new.fmt"
boot="$D/Velko/Boot"
# Every file of both trees but what /CHECK may write beside the setup log.
trees() { snapshot "$install_root" "$D" | grep -v '/Velko/Boot/CheckReport-'; }
check_report() {
  local f
  f=$(ls -t "$boot"/CheckReport-*.txt 2>/dev/null | head -1)
  [ -n "$f" ] || fail "$1: no report file beside the setup log"
  iconv -f GBK -t UTF-8 "$f" | tr -d '\r'
}
run_check() {
  local what=$1 code=$2
  shift 2
  trees >"$out/before-$what.txt"
  setup_args=("$@")
  run_setup --report-windows
  cp "$transcript" "$out/transcript-$what.txt"
  expect_no_transcript "timeout"
  grep -qx "exit $code" "$transcript" || fail "$what: $(grep '^exit' "$transcript"), expected exit $code"
  trees >"$out/after-$what.txt"
  diff "$out/before-$what.txt" "$out/after-$what.txt" >"$out/changed-$what.txt" ||
    fail "$what: the trees changed: $(head -10 "$out/changed-$what.txt")"
  [ ! -e "$boot/SetupState.ini" ] || fail "$what: a check wrote the run state"
}
new_machine() {
  clean_machine
  lay_out_transfer_machine
  place_setup "$transfer_setup"
}

# --- Ready: the installed format is the new one, so every value has a member.
new_machine
cp "$new_fmt" "$product/tornelix.fmt"
ready_values=(m_fSpeed=12.5 m_nAxes=3 'm_naLimit[0]=100' 'm_naLimit[1]=200' m_fNewFeed=2 m_home.m_fX=1 m_szName=MILL-A)
old_fmt="$new_fmt" make_dat "$data_product/config/Mill/tornelix.dat" "${ready_values[@]}"
old_fmt="$new_fmt" make_dat "$product/config/Lathe/tornelix.dat" "${ready_values[@]}"
# 21 reports of earlier runs, older than this one: 19 of the older name form,
# a second run of the oldest of their seconds ("-2", which sorts before its
# first by text), and a pair of the current form, oldest of all.
for s in $(seq 10 28); do printf 'old\r\n' >"$boot/CheckReport-20200101-0000$s.txt"; done
printf 'old\r\n' >"$boot/CheckReport-20200101-000010-2.txt"
printf 'old\r\n' >"$boot/CheckReport-20200101-000009-01.txt"
printf '{}\n' >"$boot/CheckReport-20200101-000009-01.json"
run_check ready 0 /S /CHECK
kept=$(cd "$boot" && ls CheckReport-* | sed 's/\.[a-z]*$//' | sort -u)
[ "$(wc -l <<<"$kept")" = 20 ] || fail "ready: not the newest 20 runs' reports kept: $kept"
! grep -qE '000009-01$|000010$' <<<"$kept" || fail "ready: the oldest runs' reports kept: $kept"
grep -qx 'CheckReport-20200101-000010-2' <<<"$kept" || fail "ready: the second run of a second taken for older: $kept"
pass "/S /CHECK among 21 older reports: the two oldest runs' files deleted (text and JSON), older names ordered by time"
report=$(check_report ready)
grep -q '结论：可以更新$' <<<"$report" || fail "ready: $report"
grep -q '配置Mill：迁移[1-9][0-9]*个值，丢弃0个值' <<<"$report" || fail "ready: Mill's counts: $report"
grep -qF '结论：可以更新' <<<"$(setup_log)" || fail "ready: the setup log lacks the verdict"
pass "/S /CHECK on a ready machine: exit 0, both trees byte-identical, the report beside the setup log"

# --- The older format: one value has no member in the new release.
new_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
run_check dropped 11 /S /CHECK
report=$(check_report dropped)
grep -qF '丢弃（新版本没有此成员）：m_fOldGain = 0.75' <<<"$report" || fail "dropped: Mill's m_fOldGain: $report"
grep -qF '丢弃（新版本没有此成员）：m_fOldGain = 0.5' <<<"$report" || fail "dropped: Lathe's m_fOldGain: $report"
grep -qF '新成员（保留新版本的默认值）：m_fNewFeed = 7.5' <<<"$report" || fail "dropped: Mill's new member: $report"
grep -qF '结论：可以更新，但部分参数不会迁移' <<<"$report" || fail "dropped: verdict: $report"
check_json() {
  local f
  f=$(ls "$boot"/CheckReport-*.json 2>/dev/null | sort | tail -1)
  [ -n "$f" ] && [ "${f%.json}.txt" = "$(ls "$boot"/CheckReport-*.txt | sort | tail -1)" ] ||
    fail "$1: no JSON twin of the newest report: $(ls "$boot")"
  echo "$f"
}
python3 - "$(check_json dropped)" >"$out/json-dropped.txt" <<'PY' || fail "dropped: JSON report: $(cat "$out/json-dropped.txt")"
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
assert doc["report"] == "CheckReport" and doc["exitCode"] == 11, doc
assert doc["outcome"] == "ready-values-not-carried" and doc["verdict"] == "结论：可以更新，但部分参数不会迁移", doc
by = {c["name"]: c for c in doc["configurations"]}
assert {"name": "m_fOldGain", "value": "0.75"} in by["Mill"]["dropped"], by
assert {"name": "m_fOldGain", "value": "0.5"} in by["Lathe"]["dropped"], by
assert {"name": "m_fNewFeed", "default": "7.5"} in by["Mill"]["new"], by
print("ok")
PY
pass "/S /CHECK with the older format: exit 11, the dropped values with their old values, the new member with its default; the same in the report's JSON twin"

# --- Lathe's values cannot be read.
new_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" --damaged "${lathe_values[@]}"
run_check damaged 9 /S /CHECK
report=$(check_report damaged)
grep -q '配置Lathe：参数无法读取' <<<"$report" || fail "damaged: Lathe not named: $report"
! grep -q '配置Mill：参数无法读取' <<<"$report" || fail "damaged: Mill named: $report"
setup_log >"$out/log-damaged.txt"
python3 - "$(check_json damaged)" "$out/log-damaged.txt" >"$out/json-damaged.txt" <<'PY' || fail "damaged: JSON report: $(cat "$out/json-damaged.txt")"
import json, re, sys
doc = json.load(open(sys.argv[1], encoding="utf-8"))
assert doc["exitCode"] == 9 and doc["verdict"] == "结论：不能更新", doc
assert any(l.startswith("配置Lathe：参数无法读取") for l in doc["lines"]), doc["lines"]
# The unreadable configuration as a member, with its data file.
assert [u["name"] for u in doc["unreadable"]] == ["Lathe"], doc["unreadable"]
assert doc["unreadable"][0]["dataFile"].lower().endswith("\\config\\lathe\\tornelix.dat"), doc["unreadable"]
# What the report is about: the release and digest the setup log's line of
# this run names, the time with its offset, the computer.
runs = [l for l in open(sys.argv[2], encoding="utf-8").read().splitlines() if "\t安装文件版本：" in l]
release, digest = re.match(r".*\t安装文件版本：(.*)，摘要 ([0-9a-f]{32})（", runs[-1]).groups()
assert doc["release"] == release and release and doc["digest"] == digest, (doc["release"], doc["digest"], runs[-1])
assert re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d", doc["time"]), doc["time"]
assert doc["computer"], doc
assert doc["setupFile"].lower().endswith("setup.exe"), doc
print("ok")
PY
pass "/S /CHECK with a damaged configuration: exit 9, Lathe named in the report file and its JSON (exit code 9, and as unreadable with its data file), the release, digest, time and computer of the check in the JSON, nothing changed"

# --- The control program runs.
new_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
start_control_program
run_check running 2 /S /CHECK /WAIT=2
stop_control_program
grep -q '控制程序：正在运行' <<<"$(check_report running)" || fail "running: not said"
pass "/S /CHECK /WAIT=2 while the control program runs: exit 2, nothing changed"

# --- In the window: one box with OK holds the report.
new_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
trees >"$out/before-window.txt"
setup_args=(/CHECK)
run_setup --answer "安装前检查=OK"
expect_transcript "exit 11"
[ "$(grep -c '^box ' "$transcript")" = 1 ] || fail "window: boxes: $(grep '^box ' "$transcript")"
grep '^box ' "$transcript" | grep -q 'buttons=OK text="安装前检查.*m_fOldGain = 0.75' || fail "window: $(grep '^box ' "$transcript")"
trees >"$out/after-window.txt"
diff -q "$out/before-window.txt" "$out/after-window.txt" >/dev/null || fail "window: the trees changed"
pass "/CHECK in the window: the report in one box with OK, exit 11, nothing changed"

# --- A setup file whose package is no program (a damaged package wrapped with
# --no-cfg-check): the update would fail to start it, so the check says 3.
new_machine
printf 'PK\003\004 not a program, a damaged archive\r\n' >"$out/damaged-package.bin"
wine "$TLX_WIN_BIN/mksetup.exe" --no-cfg-check "$(winpath "$TLX_WIN_BIN/Setup.exe")" "$(winpath "$out/damaged-package.bin")" \
  "$(winpath "$out/Setup-noprogram.exe")" >"$out/mksetup-noprogram.out" 2>&1 || fail "mksetup: $(cat "$out/mksetup-noprogram.out")"
place_setup "$out/Setup-noprogram.exe"
run_check noprogram 3 /S /CHECK
check_report noprogram | grep -qF '安装包不是可以启动的程序（not a program (no MZ header)）' ||
  fail "noprogram: the report does not say why: $(check_report noprogram | head -20)"
check_report noprogram | grep -q '可以更新' && ! check_report noprogram | grep -q '不能更新' &&
  fail "noprogram: the report calls the update possible"
pass "/S /CHECK of a setup file whose package is no program: exit 3, the reason in the report"
