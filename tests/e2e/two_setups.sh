#!/usr/bin/env bash
# Two setups at once (an engine's retry while the first still runs): the
# second waits for the first's lock, not for the control program, and while
# it waits SetUp.log is the first's. The first (/S /ENGINECODES on a plain
# controller) is held at its end by a slow driver installer; meanwhile
#   /S /WAIT=1               ends with 15, "another setup" on its output and
#                            in the fallback log, never the control program
#   /S /ENGINECODES /WAIT=1  ends with 1618, the same lines
#   no switch (the window)   asks Retry/Cancel before its dialog; Cancel: 15
# and the first ends with 0 and the values carried exactly once; every run
# has its closing line.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" --backup "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
place_setup "$transfer_setup"
fallback="$temp_dir/TornelixSetUp.log"
rm -f "$fallback"
export TLX_DRIVER_HOLD_MS=25000
setup_args=(/S /ENGINECODES /WAIT=120)
start_setup --report-windows
for _ in $(seq 1200); do
  grep -qP '^start\tInstallDrv' "$doubles_log" 2>/dev/null && break
  kill -0 "$robot_pid" 2>/dev/null || break
  sleep 0.1
done
grep -qP '^start\tInstallDrv' "$doubles_log" || fail "the first setup never reached the driver installer"
unset TLX_DRIVER_HOLD_MS

# second_setup NAME ARGS...: Setup.exe started as an engine starts it, its
# output (GBK) read as UTF-8 into $out/NAME.out; sets rc (as a Unix shell
# sees it: the code's low 8 bits; the whole code is on the closing line).
second_setup() {
  local name=$1
  shift
  rc=0
  wine 'C:\Media\Setup.exe' "$@" >"$out/$name.gbk" 2>/dev/null || rc=$?
  iconv -f GBK -t UTF-8 "$out/$name.gbk" >"$out/$name.out"
}
expect_waited_for_setup() {
  local name=$1 code=$2 got
  got=$(tr -d '\r' <"$out/$name.out")
  grep -qF "静默安装：另一个安装程序在1秒后仍在运行" <<<"$got" || fail "$name: the other setup not named: $got"
  ! grep -qF "控制程序" <<<"$got" || fail "$name: blames the control program: $got"
  [ "$(tail -1 <<<"$got")" = "静默安装结束，退出代码 $code" ] || fail "$name: no closing line on the output: $got"
}
started=$(date +%s)
second_setup retry /S /WAIT=1
[ "$rc" = 15 ] || fail "a second setup while the first runs: exit $rc, expected 15: $(cat "$out/retry.out")"
expect_waited_for_setup retry 15
second_setup retry-engine /S /ENGINECODES /WAIT=1
[ "$rc" = $((1618 % 256)) ] || fail "a second setup with /ENGINECODES: exit $rc, expected 1618: $(cat "$out/retry-engine.out")"
expect_waited_for_setup retry-engine 1618
# Double-clicked meanwhile: a box asks (Retry/Cancel) before anything else.
wine "$TLX_WIN_BIN/robot.exe" --log "$(winpath "$out/transcript-window.txt")" --timeout 30 \
  --answer "另一个安装程序正在运行=CANCEL" -- 'C:\Media\Setup.exe' >"$out/robot-window.out" 2>&1 || true
grep -q '^box .*buttons=CANCEL,RETRY text="另一个安装程序正在运行。' "$out/transcript-window.txt" ||
  fail "the window: no Retry/Cancel box: $(cat "$out/transcript-window.txt")"
grep -qx 'exit 15' "$out/transcript-window.txt" && ! grep -q '^dialog ' "$out/transcript-window.txt" ||
  fail "the window after Cancel: $(cat "$out/transcript-window.txt")"
[ $(($(date +%s) - started)) -lt 22 ] || fail "the second setups did not end while the first was held"
kill -0 "$robot_pid" 2>/dev/null || fail "the first setup ended before the second ones"
pass "while a setup runs: a second one ends with 15 (1618 with /ENGINECODES), names the other setup on its output; the window asks first"

# Their lines, which SetUp.log could not take, are in the fallback log.
fallback_text=$(iconv -f GBK -t UTF-8 "$fallback" | tr -d '\r')
grep -qP '\t无法写入D:\\Velko\\Boot\\SetUp.log，本次运行的记录写在这里$' <<<"$fallback_text" ||
  fail "the fallback log does not say why: $fallback_text"
for code in 15 1618; do
  grep -qP "\t静默安装结束，退出代码 $code\$" <<<"$fallback_text" || fail "fallback log lacks the closing line $code: $fallback_text"
done
[ "$(grep -c '命令行：/S' <<<"$fallback_text")" = 2 ] || fail "fallback log: $fallback_text"
pass "the second setups' lines and closing lines in $(basename "$fallback")"

wait_setup
cp "$transcript" "$out/transcript-first.txt"
expect_no_transcript "timeout"
grep -qx "exit 0" "$transcript" || fail "the first setup: $(grep '^exit' "$transcript"), expected 0 on a plain controller"
! grep -qE '^(dialog|label|box|window) ' "$transcript" || fail "the first setup showed something"
expect_amend "$product/config/Mill/amend.dat" expected_mill
expect_amend "$product/config/Lathe/amend.dat" expected_lathe
log=$(setup_log | tr -d '\r')
[ "$(grep -c 'SetUp启动' <<<"$log")" = 1 ] || fail "SetUp.log holds another run's start: $log"
[ "$(grep -c '静默安装结束，退出代码' <<<"$log")" = 1 ] && grep -qP '\t静默安装结束，退出代码 0$' <<<"$log" ||
  fail "SetUp.log's closing lines: $(grep '静默安装结束' <<<"$log")"
grep -q 'ExitCode=0' "$D/Velko/Boot/SetupState.ini" || fail "run state: $(cat "$D/Velko/Boot/SetupState.ini")"
pass "the first setup: exit 0 with /ENGINECODES on a plain controller, Mill and Lathe carried once, its closing line"
