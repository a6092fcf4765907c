#!/usr/bin/env bash
# Another program holds the operator's files open without sharing through a
# whole update: a user list in the data tree and a part program. The update
# never needs them: they are not the release's, so they are never moved,
# never named "in use", and never wait in a set-aside copy. With the values
# carried and without (/S /NOPARAMS) the run ends with 0, every user file
# byte for byte where the operator saved it, and nothing of the operator's in
# the set-aside copy kept as the previous release. Without the values carried
# the release lays its own user list: beside the operator's, never over it.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

user_files=(Users/operator.txt config/Mill/machine.plc user.ini Parts/O1.nc)
for args in "/S" "/S /NOPARAMS"; do
  clean_machine
  lay_out_transfer_machine
  make_dat "$data_product/config/Mill/tornelix.dat" "${mill_values[@]}"
  make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
  mkdir -p "$data_product/Parts"
  printf 'O0001\r\nG0 X1\r\nM30\r\n' >"$data_product/Parts/O1.nc"
  user_before=$(cd "$data_product" && md5sum "${user_files[@]}")
  hold_file "$data_product/Users/operator.txt"
  hold_file "$data_product/Parts/O1.nc"
  on_exit_first release_file
  place_setup "$transfer_setup"
  # shellcheck disable=SC2086 # the switches, one word each
  silent_run $args
  release_file
  expect_transcript "exit 0"
  setup_log | tail -3 | grep -qF '静默安装，未显示的消息：TorneLix安装完成!' || fail "$args: no final message in the log"
  after=$(cd "$data_product" && md5sum "${user_files[@]}")
  [ "$after" = "$user_before" ] || fail "$args: user files after the update: $after"
  setup_log | grep -qF '文件被占用' && fail "$args: an operator's file named as in use: $(setup_log | grep -F '文件被占用')"
  aside=$(find "$D/Velko.previous" -name operator.txt -o -name O1.nc 2>/dev/null)
  [ -z "$aside" ] || fail "$args: the operator's files in a set-aside copy: $aside"
  older=$(find "$data_product" -name '*.older-*')
  if [ "$args" = "/S" ]; then
    [ -z "$older" ] || fail "$args: a second version made of an untouched file: $older"
  else
    # The release ships a Users\operator.txt of its own: it goes beside the
    # operator's, and the log names both.
    [ "$(echo "$older" | wc -l)" = 1 ] && [ "${older##*/}" != "${older##*/operator.older-}" ] ||
      fail "$args: the release's version is not beside the operator's: $older"
    setup_log | grep -qF '操作员的文件留在原处：D:\Velko\TorneLix\Users\operator.txt；' || fail "$args: the meeting is not named"
  fi
  pass "$args with the operator's files held open: exit 0, every one in place byte for byte, none set aside"
done

# --- A file the release laid, held open by another program through the
# update (/S /NOPARAMS): it keeps its old version, so the run is not whole:
# 8, the file named; the same job once the file is free lays the release's
# own version and ends with 0.
. "$(dirname "$0")/rollback_lib.sh"
future_setup HeldA 'macro of release A'
future_setup HeldB 'macro of release B'
clean_machine
lay_out_rollback_machine
place_setup "$out/Setup-HeldA.exe"
silent_run /S /NOPARAMS
expect_transcript "exit 0"
macro="$data_product/Macros/macro.txt"
hold_file "$macro"
place_setup "$out/Setup-HeldB.exe"
silent_run /S /NOPARAMS
release_file
expect_transcript "exit 8"
setup_log | grep -qF '以下文件被其他程序占用，没有更新：' || fail "the held file of the release is not named: $(setup_log | tail -5)"
grep -q 'macro of release A' "$macro" || fail "the held file changed"
silent_run /S /NOPARAMS
expect_transcript "exit 0"
grep -q 'macro of release B' "$macro" || fail "the run with the file free did not lay the release's own: $(cat "$macro")"
pass "/S /NOPARAMS with a release's file held open: 8 and the file named; the same job once it is free: 0, the release's own file in place"
