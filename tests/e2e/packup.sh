#!/usr/bin/env bash
# A release with Packup=1: state 15 goes straight to the end, no
# post-install program starts, no data file is purged.
. "$(dirname "$0")/lib.sh"

clean_machine
place_setup "$TLX_E2E_DATA/packup/Setup.exe"
run_setup

expect_states "0,1,2,5,6,7,8,10,12,15,20"
[ "$(box_texts)" = '"TorneLix安装完成!"' ] || fail "message boxes: $(box_texts)"
expect_transcript "exit 0"
labels=$(grep '^label ' "$transcript" | awk '{print $2}' | paste -sd, -)
[ "$labels" = "140,141,145,146,150" ] || fail "labels shown: $labels"
[ ! -s "$doubles_log" ] || fail "a post-install program started: $(cat "$doubles_log")"
expect_gone "$install_root/netsh/install.done"
expect_file "$install_root/TorneLix/Packup.ini"
for f in Tornelix.dat Tornelix.dat.bak Tornelix-2016-12-21-09-10-43.dat; do
  expect_file "$install_root/TorneLix/config/Mill/$f"
done
expect_file "$D/Velko/TorneLix/user.ini"
pass "15 straight to 20, no post-install program, nothing purged, user tree restored"
