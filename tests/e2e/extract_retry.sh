#!/usr/bin/env bash
# A correctly signed setup file whose package cannot be started: the
# extraction fails with "ERR 203: Create a process failed!" and is retried on
# later ticks, but never while its failure message is still open.
. "$(dirname "$0")/lib.sh"

clean_machine
head -c 8192 /dev/urandom >"$out/not-a-program.bin"
wine "$TLX_WIN_BIN/mksetup.exe" "$(winpath "$TLX_WIN_BIN/Setup.exe")" "$(winpath "$out/not-a-program.bin")" \
  "$(winpath "$media/Setup.exe")" >"$out/mksetup.out" 2>&1 || fail "mksetup: $(cat "$out/mksetup.out")"
# Each failure message stays open for 2 s: four sequence periods.
ROBOT_TIMEOUT=14 run_setup --answer-delay 2000

err203=$(grep -c '^box caption="Setup" buttons=OK text="ERR 203: Create a process failed!"' "$transcript" || true)
[ "$err203" -ge 3 ] || fail "extraction tried $err203 times: $(cat "$transcript")"
[ "$(box_texts | sort -u)" = '"ERR 203: Create a process failed!"' ] || fail "other messages: $(box_texts | sort -u)"
expect_no_transcript "boxes open"
expect_transcript "timeout"
[ "$(last_label)" = 145 ] || fail "went past the extraction: label $(last_label)"
[ "$(states_run)" = "0,1,2,5,6" ] || fail "states run: $(states_run)"
pass "ERR 203 retried $err203 times, one message at a time, never past state 6"
