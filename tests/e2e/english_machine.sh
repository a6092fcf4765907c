#!/usr/bin/env bash
# A machine set to English (user.ini and Lang\Lang.ini: ActiveLang=eng): the
# English dialog, labels and boxes, the summary of a carry that drops values
# in English, the driver installer told -eng, and Lang.ini still eng after
# the update. A machine whose settings name another language stays Chinese.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"

clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" --backup "${mill_values[@]}"
make_dat "$product/config/Lathe/TORNELIX.DAT" "${lathe_values[@]}"
printf '[ActiveLang]\r\nActiveLang=eng\r\n' >"$data_product/user.ini"
mkdir -p "$product/Lang"
printf '[ActiveLang]\r\nActiveLang=eng\r\n' >"$product/Lang/Lang.ini"
place_setup "$transfer_setup"
marker="$out/final-box"
start_setup --answer "Warning:=OK" --answer "Try to reserved=YES" \
  --pause-at "Install TorneLix Success!=$(winpath "$marker")"
wait_for_file "$marker.ready" 120 || fail "the final message never came"
import -display "$DISPLAY" -window root "$out/dialog-en.png" || fail "no screenshot"
touch "$marker"
wait_setup
cp "$transcript" "$out/transcript-eng.txt"

expect_transcript "exit 0"
expect_transcript 'dialog caption="Tornelix Setup..."'
labels=$(grep '^label ' "$transcript" | awk '{print $2}' | paste -sd, -)
[[ "$labels" =~ ^1140,1141(,11[4-5][0-9])+$ ]] || fail "labels shown: $labels"
expect_transcript 'label 1150 "Setup program finished..."'
expect_transcript 'buttons=OK,CANCEL text="Warning:\n\nSetup program will delete all files in directory(C:\\Program Files'
expect_transcript '\\Velko\\) \nPlease save parameters for recover later. \nClick '"'OK'"' to continue. "'
expect_transcript 'buttons=YES,NO text="Following configuration parameters may be reserved after software reinstalled:\nMill\nLathe\nTry to reserved these configurations'"'"'s parameters ?\n"'
summary='buttons=OK text="Following configurations:\nMill\nLathe\nReserved parameter success!\n'
summary+='Mill: 7 values carried; 3 dropped (the new release has no such members); 1 new members (the new release'"'"'s defaults).\n'
expect_transcript "$summary"
expect_transcript 'The dropped values are listed in D:\\Velko\\Boot\\CarryReport'
expect_transcript 'buttons=OK text="Install TorneLix Success!"'
# Not one Chinese character in any box or label.
! grep -E '^(box|label) ' "$transcript" | grep -qP '[^\x00-\x7F]' ||
  fail "Chinese on an English machine: $(grep -E '^(box|label) ' "$transcript" | grep -P '[^\x00-\x7F]')"
expect_carried
grep -q '^ActiveLang=eng' "$product/Lang/Lang.ini" || fail "Lang.ini: $(cat "$product/Lang/Lang.ini")"
grep -qP '^start\tInstallDrv_x64.exe\t-eng\t' "$doubles_log" || fail "driver installer: $(cat "$doubles_log")"
setup_log | grep -qF '机器的语言为 eng：以英文显示' || fail "the setup log does not say the language"
pass "English machine: template 1102, English labels and boxes, the summary's dropped values, -eng, Lang.ini eng"

# Any other language name is the Chinese of old, and state 10 writes chn.
clean_machine
lay_out_transfer_machine
printf '[ActiveLang]\r\nActiveLang=deu\r\n' >"$data_product/user.ini"
place_setup "$transfer_setup"
rm -f "$transcript" "$doubles_log"
run_setup --answer "警告=OK"
expect_transcript "exit 0"
expect_transcript 'dialog caption="Tornelix 安装程序..."'
expect_transcript 'text="TorneLix安装完成!"'
grep -q '^ActiveLang=chn' "$product/Lang/Lang.ini" || fail "Lang.ini: $(cat "$product/Lang/Lang.ini")"
grep -qP '^start\tInstallDrv_x64.exe\t\t' "$doubles_log" || fail "driver installer: $(cat "$doubles_log")"
pass "a machine set to deu: the Chinese dialog and boxes, chn written, no -eng"
