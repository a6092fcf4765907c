#!/usr/bin/env bash
# Setup.exe started by a deployment engine: /S installs without a window and
# without a box, and the exit code says what happened. The robot watches
# every top-level window of the setup's process (--report-windows); none may
# appear. The runs:
#   /S            on the transfer machine: exit 0, values carried; the
#                 output has the steps in order, the answers, the closing line
#   /S /NOPARAMS  on the same machine: exit 0, amend files as shipped
#   /S            with a damaged setup file: exit 3, nothing changed
#   and after the update and the damaged run, the run state in SetupState.ini
#   and the registry: the release's name and the digest that mksetup --check
#   printed for the setup file
#   /S /WAIT=3    while the control program runs: exit 2 after about 3 s, nothing changed
#   bad arguments (silent and not: /x, /SILENT, -S, /S /WAIT=10m): exit 6
#   without a box, the closing line in the setup log; /?: exit 2; nothing changed
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"

# The transcript of a run that showed nothing: no dialog, label, box or any
# other window of the setup's process, and the exit code given.
expect_silent_exit() {
  local code=$1 what=$2
  cp "$transcript" "$out/transcript-$what.txt"
  expect_no_transcript "timeout"
  ! grep -qE '^(dialog|label|box|window|answer) ' "$transcript" ||
    fail "$what: the setup showed something: $(grep -E '^(dialog|label|box|window|answer) ' "$transcript" | head -5)"
  grep -qx "exit $code" "$transcript" || fail "$what: $(grep '^exit\|^timeout' "$transcript"), expected exit $code"
}
expect_log() { grep -qF -- "$1" <<<"$(setup_log)" || fail "setup log lacks: $1"; }

# The run state a deployment engine reads: SetupState.ini beside the setup log
# and the registry key (the 32-bit view, as the 32-bit setup writes it).
state_key='HKLM\Software\Velko\TorneLix\Setup'
wine reg delete "$state_key" /f /reg:32 >/dev/null 2>&1 || true
state_file() { tr -d '\r' <"$D/Velko/Boot/SetupState.ini" | paste -sd' ' -; }
state_reg() {
  wine reg query "$state_key" /reg:32 2>/dev/null | tr -d '\r' |
    awk '$2 ~ /^REG_/ { printf "%s=%s ", $1, ($3 == "" ? "" : substr($0, index($0, $3))) }'
}
# The digest the trailer records: MD5 of everything before it.
setup_digest() { head -c $(($(stat -c %s "$1") - 24)) "$1" | md5sum | cut -c1-32; }

# --- /S on a machine with parameters: as transfer_keep with OK and Yes.
clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" --backup "${mill_values[@]}"
make_dat "$product/config/Lathe/TORNELIX.DAT" --piece 24 "${lathe_values[@]}"
place_setup "$transfer_setup"
setup_args=(/S)
run_setup --report-windows
expect_silent_exit 0 keep
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
expect_amend "$product/config/Mill/amend.dat" expected_mill
expect_amend "$product/config/Lathe/amend.dat" expected_lathe
grep -q 'release=transfer' "$product/release.txt" || fail "not the new release"
expect_no_parameter_files "$data_product"
expect_gone "$temp_save"
expect_gone "$param_work"
expect_log '命令行：/S'
expect_log '静默安装，自动回答OK：警告！'
expect_log '静默安装，自动回答YES：在重新装载软件时候'
[ "$(setup_log | grep -c '以下配置：')" = 1 ] || fail "the transfer summary not once in the setup log: $(setup_log)"
expect_log '静默安装，未显示的消息：TorneLix安装完成!'
expect_log '静默安装结束，退出代码 0'
cp "$D/Velko/Boot/SetUp.log" "$out/SetUp-keep.log"
# What the engine reads: each step as the window shows it, in order, the
# answers given and the closing line; no trace record.
# (The robot adds its own "started" and "exit N" lines.)
iconv -f GBK -t UTF-8 "$out/robot.out" | tr -d '\r' | grep -v '^started$\|^exit ' >"$out/output-keep.txt"
steps=$(sed -n 's/^步骤：//p' "$out/output-keep.txt" | paste -sd'|' -)
[ "$steps" = "等待TorneLix关闭...|开始执行安装程序...|正在拷贝文件...|拷贝其他文件...|迁移参数...|安装驱动程序...|自动更新过程结束..." ] ||
  fail "the steps on the output: $steps"
grep -q '^静默安装，自动回答YES：在重新装载软件时候' "$out/output-keep.txt" || fail "no answer on the output"
[ "$(tail -1 "$out/output-keep.txt")" = "静默安装结束，退出代码 0" ] || fail "output's last line: $(tail -1 "$out/output-keep.txt")"
! grep -q 'Next file name' "$out/output-keep.txt" || fail "trace records on the output"
pass "/S: no window, exit 0, Mill and Lathe carried, the boxes' texts and answers in the setup log"

digest=$(setup_digest "$transfer_setup")
# What the release engineer hands the engine's detection rule.
checked=$(wine "$TLX_WIN_BIN/mksetup.exe" --check "$(winpath "$transfer_setup")" 2>&1 | tr -d '\r')
case "$checked" in *"release name: Transfer 2.0"*"recorded digest: $digest"*) ;;
  *) fail "mksetup --check does not name the release and its digest: $checked" ;; esac
state_file | grep -qE "^\[Installed\] Release=Transfer 2\.0 Digest=$digest Time=20[0-9-]{8} [0-9:]{8} Complete=yes \[Kept\] Release=unknown Digest= Time= \[LastRun\] Time=20[0-9-]{8} [0-9:]{8} Outcome=installed ExitCode=0$" ||
  fail "SetupState.ini after the update: $(state_file)"
installed_at=$(sed -n 's/^Time=//p' "$D/Velko/Boot/SetupState.ini" | head -1 | tr -d '\r')
reg_after_update=$(state_reg)
for v in "Release=Transfer 2.0" "ReleaseDigest=$digest" "InstalledAt=$installed_at" "LastOutcome=installed" "LastExitCode=0x0"; do
  grep -qF "$v " <<<"$reg_after_update" || fail "registry after the update lacks $v: $reg_after_update"
done
pass "after the update: mksetup --check, SetupState.ini and $state_key name the release, its trailer's digest and exit code 0"

# --- /S /NOPARAMS: the question answered No.
clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" --backup "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
place_setup "$transfer_setup"
setup_args=(/s /noparams)
run_setup --report-windows
expect_silent_exit 0 noparams
expect_states "0,1,2,5,6,7,8,10,12,15,16,20"
for cfg in Mill Lathe; do
  cmp -s "$product/config/$cfg/amend.dat" "$transfer_release/TorneLix/config/$cfg/amend.dat" ||
    fail "config/$cfg/amend.dat is not the new release's: $(cat "$product/config/$cfg/amend.dat")"
done
cmp -s "$data_product/user.ini" "$transfer_release/User/TorneLix/user.ini" || fail "user.ini is not the new release's"
expect_gone "$param_work"
expect_log '静默安装，自动回答NO：在重新装载软件时候'
! grep -q '参数迁移' <<<"$(setup_log)" || fail "setup log mentions a transfer"
pass "/s /noparams: no window, exit 0, the new release's amend files as shipped"

# --- The refusals: one old installation, which none of them may touch.
clean_machine
lay_out_old_installation
: >"$doubles_log"
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
unchanged() {
  local after
  after=$(snapshot "$install_root" "$D" "$desktop" "$programs")
  [ "$before" = "$after" ] || fail "$1: the machine changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
  [ ! -s "$doubles_log" ] || fail "$1: a program was started: $(cat "$doubles_log")"
}

# A damaged setup file: one byte of the package changed.
good="$TLX_E2E_DATA/base/Setup.exe"
bad="$out/Setup-damaged.exe"
cp "$good" "$bad"
offset=$(($(stat -c %s "$good") - 24 - 4096))
orig=$(od -An -tu1 -j "$offset" -N1 "$bad" | tr -d ' ')
printf "$(printf '\\%03o' $(((orig + 1) % 256)))" | dd of="$bad" bs=1 seek="$offset" conv=notrunc status=none
cmp -s "$good" "$bad" && fail "the copy is not damaged"
place_setup "$bad"
installed_before=$(state_reg | grep -o 'InstalledAt=[0-9-]* [0-9:]*')
setup_args=(/S)
run_setup --report-windows
expect_silent_exit 3 damaged
expect_states "0,1"
expect_log '静默安装，未显示的消息：Bad Signature'
expect_log '静默安装结束，退出代码 3'
unchanged damaged
pass "/S with a damaged setup file: no window, exit 3, nothing changed"
# The failed run leaves the installed release where it was recorded (the
# machine was laid out afresh, so the file knows of none; the registry still
# knows the /NOPARAMS update above, with its time).
state_file | grep -qE "^\[Installed\] Release= Digest= Time= \[LastRun\] Time=20[0-9-]{8} [0-9:]{8} Outcome=setup-file-unusable ExitCode=3$" ||
  fail "SetupState.ini after the damaged run: $(state_file)"
reg_after_failure=$(state_reg)
for v in "Release=Transfer 2.0" "ReleaseDigest=$digest" "$installed_before" "LastOutcome=setup-file-unusable" "LastExitCode=0x3"; do
  grep -qF "$v " <<<"$reg_after_failure" || fail "registry after the damaged run lacks $v: $reg_after_failure"
done
pass "after the damaged run: exit code 3 and its outcome recorded, the release installed before still named"

# The control program runs and outlasts /WAIT=3.
place_setup "$good"
release="$out/release-control"
ready="$out/control-ready"
wine "$TLX_WIN_BIN/double_control.exe" --until-file "$(winpath "$release")" --ready-file "$(winpath "$ready")" \
  >/dev/null 2>&1 &
control_pid=$!
wait_for_file "$ready" 30 || fail "the control program double did not start"
: >"$doubles_log" # the double's own record; the setup may start nothing
setup_args=(/S /WAIT=3)
rm -f "$temp_dir/TornelixSetupLog.txt" # the states of this run only
started=$(date +%s%N)
run_setup --report-windows
took_ms=$((($(date +%s%N) - started) / 1000000))
touch "$release"
wait "$control_pid" || true
expect_silent_exit 2 wait
expect_states "0"
[ "$took_ms" -ge 3000 ] && [ "$took_ms" -lt 15000 ] || fail "the run took $took_ms ms, expected about 3 s"
expect_log '静默安装：控制程序在3秒后仍在运行'
expect_log '静默安装结束，退出代码 2'
iconv -f GBK -t UTF-8 "$out/robot.out" | grep -qF '控制程序正在运行（互斥体 kvt_TORNELIX_7000' || fail "the control program's mutex not named on the output"
: >"$doubles_log"
unchanged wait
pass "/S /WAIT=3 while the control program runs: no window, exit 2 after $took_ms ms, nothing changed"

# Bad arguments: the usage on standard output and the reason and the usage in
# the setup log, never a box (a deployment engine may have typed them, and
# nobody answers a box in its session), and the closing line with exit code
# 6. /?: the usage with the exit codes in a box, exit 2.
rc=0
wine 'C:\Media\Setup.exe' /S /WAIT=soon >"$out/usage.out" 2>/dev/null || rc=$?
[ "$rc" = 6 ] || fail "/S /WAIT=soon: exit $rc, expected 6"
grep -q '/WAIT needs a number of seconds' "$out/usage.out" || fail "no reason on standard output: $(cat "$out/usage.out")"
grep -q '  6  the command line was not understood' "$out/usage.out" || fail "no exit codes on standard output"
expect_log '命令行无法识别，没有做任何更改：/WAIT needs a number of seconds from 0 to 86400: /WAIT=soon'
for args in /x /SILENT -S '/S /WAIT=10m'; do
  read -ra setup_args <<<"$args"
  run_setup --report-windows
  expect_silent_exit 6 "bad-$(printf '%s' "$args" | tr -c 'A-Za-z0-9' _)"
  [ "$(setup_log | grep -F '静默安装结束，退出代码' | tail -1 | sed 's/.*退出代码 //' | tr -d '\r')" = 6 ] ||
    fail "$args: the setup log's last closing line: $(setup_log | grep -F '静默安装结束' | tail -1)"
  setup_log | tail -60 | grep -qF "Setup.exe [/CHECK] [/S [/NOPARAMS] [/GOON] [/WAIT=seconds] [/ENGINECODES] [/REINSTALL]] | /?" || fail "$args: no usage in the setup log"
done
setup_args=('/?')
run_setup --report-windows
cp "$transcript" "$out/transcript-usage.txt"
expect_transcript '\n  4  the update failed; the previous release is back\n'
expect_no_transcript 'unknown argument'
grep -qx 'exit 2' "$transcript" || fail "/?: $(grep '^exit' "$transcript"), expected exit 2"
! grep -q '^dialog \|^label ' "$transcript" || fail "/? opened the progress dialog"
unchanged arguments
pass "bad arguments (/x, /SILENT, -S, /WAIT=10m): exit 6 without a box, the usage on standard output and in the setup log, the closing line with 6; /?: the usage, exit 2; nothing changed"

# --- /LOG=<file>: this run's setup log lines, time-stamped, in the engine's
# own file too (a path with a space), appended to what it held.
copy_log="$media/engine logs/run.log"
mkdir -p "$media/engine logs"
printf 'the engine wrote this first\r\n' >"$copy_log"
lines_before=$(setup_log | wc -l)
silent_run /S "/LOG=C:\\Media\\engine logs\\run.log"
code=$(sed -n 's/^exit //p' "$transcript")
[ -n "$code" ] || fail "/LOG: the run did not end"
head -1 "$copy_log" | grep -q 'the engine wrote this first' || fail "/LOG: what the file held was not kept"
this_run=$(setup_log | tail -n +$((lines_before + 1)) | cut -f2- | tr -d '\r')
copied=$(iconv -f GBK -t UTF-8 "$copy_log" | tail -n +2 | cut -f2- | tr -d '\r')
[ "$copied" = "$this_run" ] || fail "/LOG: the file's lines differ from the run's: $(diff <(echo "$this_run") <(echo "$copied") | head -5)"
tail -1 <<<"$copied" | grep -qxF "静默安装结束，退出代码 $code" || fail "/LOG: no closing line in the file"
pass "/LOG=<file>: the run's setup log lines in the engine's file as well, after what it held"
