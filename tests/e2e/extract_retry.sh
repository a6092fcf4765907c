#!/usr/bin/env bash
# A correctly signed setup file whose package cannot be started: the
# extraction fails with "ERR 203: Create a process failed!", and a
# Retry/Cancel box names the failure. Retry runs the package again, never
# while a failure message is still open; the sequence never goes past state 6.
. "$(dirname "$0")/lib.sh"

clean_machine
head -c 8192 /dev/urandom >"$out/not-a-program.bin"
wine "$TLX_WIN_BIN/mksetup.exe" --no-cfg-check "$(winpath "$TLX_WIN_BIN/Setup.exe")" "$(winpath "$out/not-a-program.bin")" \
  "$(winpath "$media/Setup.exe")" >"$out/mksetup.out" 2>&1 || fail "mksetup: $(cat "$out/mksetup.out")"
# Each message stays open for 2 s: four sequence periods.
ROBOT_TIMEOUT=18 run_setup --answer-delay 2000 --answer "安装包运行失败=RETRY"

err203=$(grep -c '^box caption="Setup" buttons=OK text="ERR 203: Create a process failed!"' "$transcript" || true)
asked=$(grep -c 'text="安装包运行失败：无法启动（退出代码 -）。' "$transcript" || true)
[ "$err203" -ge 2 ] || fail "extraction tried $err203 times: $(cat "$transcript")"
[ "$asked" -ge 1 ] && [ "$asked" -ge $((err203 - 1)) ] || fail "$err203 failures, $asked Retry/Cancel boxes"
[ "$(box_texts | sed 's/（.*//' | LC_ALL=C sort -u | paste -sd'|' -)" = '"ERR 203: Create a process failed!"|"安装包运行失败：无法启动' ] ||
  fail "other messages: $(box_texts | sort -u)"
expect_no_transcript "boxes open"
expect_transcript "timeout"
[ "$(last_label)" = 145 ] || fail "went past the extraction: label $(last_label)"
[ "$(states_run)" = "0,1,2,5,6" ] || fail "states run: $(states_run)"
pass "ERR 203, then Retry/Cancel; Retry ran the package again $asked times, one message at a time, never past state 6"
