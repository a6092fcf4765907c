#!/usr/bin/env bash
# fleetreport on a plant of 2 000 controllers, each folder as the fleet guide
# collects it: SetupState.ini, a SetUp.log of a dozen runs (GBK), and the
# newest carry and check reports as text and JSON, the outcomes mixed (one in
# fifty with a damaged run state, one in a hundred cut), the lines that decide
# a run's end among them. Beside it, the floor:
# `cat` of the same files, which reads them and does nothing else. Prints the
# median wall time of 5 runs of each in ms.
#   NATIVE_BUILD=build/bench bench/fleet-page.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool="${NATIVE_BUILD:-$here/../build/bench}/bin/fleetreport"
[ -x "$tool" ] || { echo "fleet-page: no $tool" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
n=${FLEET_CONTROLLERS:-2000}
python3 - "$work/collected" "$n" <<'PY'
import json, os, sys
root, n = sys.argv[1], int(sys.argv[2])
outcomes = [("installed", 0)] * 12 + [("installed-values-not-carried", 1), ("nothing-changed", 2),
            ("setup-file-unusable", 3), ("failed-previous-release-back", 4), ("installed-incomplete", 8)]
for i in range(n):
    d = os.path.join(root, "C%04d" % i)
    os.makedirs(d)
    word, code = outcomes[i % len(outcomes)]
    day = 1 + i % 28
    state = ("[Installed]\r\nRelease=2026.%d\r\nDigest=%032x\r\nTime=2026-11-%02d 10:00:00\r\n"
             "[Kept]\r\nRelease=2026.%d\r\nDigest=%032x\r\nTime=2026-10-01 10:00:00\r\n"
             "[LastRun]\r\nTime=2026-11-%02d 10:00:00\r\nOutcome=%s\r\nExitCode=%d\r\n"
             % (i % 3, i * 7919, day, i % 3 - 1, i * 104729, day, word, code))
    if i % 50 == 49:
        state = "\x00\x01 not an ini file"
    open(os.path.join(d, "SetupState.ini"), "w", newline="").write(state)
    log = []
    for run in range(12):
        t = "2026-%02d-%02d 10:00:00\t" % (1 + run % 11, day)
        log += [t + "SetUp启动", t + "命令行：/S /WAIT=600",
                t + "安装文件版本：2026.%d，摘要 %032x（D:\\Deploy\\Setup.exe）" % (i % 3, i * 7919)]
        log += [t + "步骤 %d：复制文件 D:\\Velko\\TorneLix\\config\\Mill\\file%d.dat" % (k, k) for k in range(8)]
        # The lines that decide an end: what "Need someone first" groups by.
        if code == 2:
            log.append(t + "静默安装：控制程序在600秒后仍在运行，没有做任何更改，现在退出。")
        elif code == 8:
            log.append(t + "文件被占用，未删除：D:\\Velko\\TorneLix\\bin\\drv%d.dll" % (i % 9))
        if not (run == 11 and i % 100 == 99):
            log.append(t + "静默安装结束，退出代码 %d" % code)
    open(os.path.join(d, "SetUp.log"), "wb").write(("\r\n".join(log) + "\r\n").encode("gbk"))
    configs = [{"name": c, "carried": 120 + i % 7,
                "dropped": [{"name": "m_fOld%d" % k, "value": "%d.5" % k} for k in range(i % 4)],
                "new": [{"name": "m_fNew%d" % k, "default": "0"} for k in range(2)]} for c in ("Mill", "Lathe")]
    for kind, code_ in (("CarryReport", None), ("CheckReport", code if code in (0, 2, 3) else 11)):
        stem = os.path.join(d, "%s-202611%02d-100000-01" % (kind, day))
        lines = ["配置%s：迁移%d个值，丢弃%d个值，新成员%d个" % (c["name"], c["carried"], len(c["dropped"]), len(c["new"]))
                 for c in configs] + ["结论：可以更新"]
        doc = {"report": kind, "version": 1, "setupFile": "D:\\Deploy\\Setup.exe", "exitCode": code_,
               "outcome": "ready", "verdict": "结论：可以更新", "configurations": configs, "lines": lines}
        open(stem + ".json", "w", encoding="utf-8").write(json.dumps(doc, ensure_ascii=False, indent=2))
        open(stem + ".txt", "wb").write(("\r\n".join(lines) + "\r\n").encode("gbk"))
PY
files=$(find "$work/collected" -type f | wc -l)
bytes=$(du -sb "$work/collected" | cut -f1)
for _ in 1 2 3 4 5; do
  start=$(date +%s%N)
  "$tool" "$work/collected" "$work/fleet.html" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000)) >>"$work/tool.us"
  start=$(date +%s%N)
  find "$work/collected" -type f -print0 | xargs -0 cat >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000)) >>"$work/cat.us"
done
median() { sort -n "$1" | sed -n 3p; }
t=$(median "$work/tool.us") c=$(median "$work/cat.us")
printf 'fleetreport, %d controllers (%d files, %d bytes, page %d bytes): %d.%03d ms (median of 5)\n' \
  "$n" "$files" "$bytes" "$(stat -c %s "$work/fleet.html")" $((t / 1000)) $((t % 1000))
printf 'cat of the same files, %d controllers: %d.%03d ms (median of 5)\n' "$n" $((c / 1000)) $((c % 1000))
