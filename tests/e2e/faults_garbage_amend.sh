#!/usr/bin/env bash
# Garbage in the saved amend files. Mill's Mill_amend.dat is overwritten with
# binary garbage after state 2 wrote it (while the access message of Lathe's
# read-only data file is open); Lathe's data of the older release hold a
# machine name with a line break and an entry line behind it. No crash and
# no hang: Mill's new amend.dat keeps the release's own values and gains no
# garbage entry; Lathe's values are carried, its name up to the line break,
# and the line behind it does not become an entry of its own.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
lathe_dat="$product/config/Lathe/tornelix.dat"
make_dat "$lathe_dat" --backup --damaged "${lathe_values[@]/#m_szName=*/m_szName=LATHE$'\n'm_nAxes=9}"
chmod a-w "$lathe_dat"
# Binary garbage of the same build every time: a piece of a program file.
garbage="$out/garbage.bin"
dd if="$TLX_WIN_BIN/robot.exe" of="$garbage" bs=1024 skip=8 count=4 status=none
printf '\0\r\n[CController]\r\n\xff\xfe=\x01\r\nm_fSpeed\r\n=\r\n' >>"$garbage"

place_setup "$transfer_setup"
start_setup --answer "警告=OK" --answer "是否保留这些配置的参数=YES" --pause-at "访问参数配置文件失败=$(winpath "$out/access-box")"
wait_for_file "$out/access-box.ready" 60 || { wait_setup; fail "no access-denied message: $(box_texts)"; }
expect_file "$param_work/Mill_amend.dat"
cp "$param_work/Mill_amend.dat" "$out/Mill_amend.before-garbage.dat"
cp "$garbage" "$param_work/Mill_amend.dat"
touch "$out/access-box"
wait_setup

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,3,5,6,7,8,10,12,15,9,16,20"
grep -qE 'buttons=OK text="以下配置：\\n(Mill\\nLathe|Lathe\\nMill)\\n保留参数成功！\\n(Mill|Lathe)：保留[0-9]+个参数' "$transcript" ||
  fail "no summary of Mill and Lathe: $(box_texts)"
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
[ "$(box_texts | wc -l)" = 5 ] || fail "message boxes: $(box_texts)"
pass "garbage in Mill_amend.dat: the run ends normally with the summary and the final message"

# Mill: the release's own controller values, nothing of the garbage.
release_mill() {
  printf '%s\r\n' '[CController]' 'm_fSpeed = 100' 'm_naLimit[0] = 50' 'm_fNewFeed = 7.5' 'm_home.m_fX = 0' \
    '[Machine]' 'Type = Mill'
}
expect_amend "$product/config/Mill/amend.dat" release_mill
# Lathe: every old value, the name cut at its line break, m_nAxes once.
lathe_cut() { expected_lathe | sed 's/^m_szName = "LATHE-B"/m_szName = "LATHE"/'; }
expect_amend "$product/config/Lathe/amend.dat" lathe_cut
pass "Mill keeps the release's values and no garbage entry; Lathe carried whole, no entry smuggled in by its name"
