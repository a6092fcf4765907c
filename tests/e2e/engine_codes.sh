#!/usr/bin/env bash
# /ENGINECODES: the codes deployment engines act on by themselves.
#   the control program outlasts /WAIT      1618, both trees unchanged
#   a write-filter controller               3010, the new release in place,
#                                           the values exact
#   the same write-filter run without it    0
# The closing line and the run state record the code given. (A plain
# controller with the switch, 0, and another setup running, 1618, are in
# two_setups; the control program without the switch, 2, in silent.)
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"

expect_closing() {
  local got
  got=$(setup_log | grep -F '静默安装结束，退出代码' | tail -1 | sed 's/.*退出代码 //' | tr -d '\r')
  [ "$got" = "$1" ] || fail "$2: the setup log's last closing line says $got, expected $1"
  grep -qE "^Outcome=$3"$'\r?$' "$D/Velko/Boot/SetupState.ini" && grep -qE "^ExitCode=$1"$'\r?$' "$D/Velko/Boot/SetupState.ini" ||
    fail "$2: run state: $(tr -d '\r' <"$D/Velko/Boot/SetupState.ini" | paste -sd' ')"
}
expect_exit() {
  cp "$transcript" "$out/transcript-$2.txt"
  grep -qx "exit $1" "$transcript" || fail "$2: $(grep '^exit\|^timeout' "$transcript"), expected exit $1"
}

# --- The control program runs through /WAIT.
clean_machine
lay_out_old_installation
place_setup "$TLX_E2E_DATA/base/Setup.exe"
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
start_control_program
setup_args=(/S /ENGINECODES /WAIT=2)
run_setup --report-windows
stop_control_program
expect_exit 1618 control
after=$(snapshot "$install_root" "$D" "$desktop" "$programs")
[ "$before" = "$after" ] || fail "the machine changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
setup_log | grep -qF '静默安装：控制程序在2秒后仍在运行' || fail "setup log: $(setup_log)"
expect_closing 1618 control try-again-later
pass "/S /ENGINECODES while the control program runs: 1618 after /WAIT, both trees unchanged, closing line and run state 1618"

# --- A write-filter controller, with the switch and without.
for engine in yes no; do
  clean_machine
  make_write_filter_system
  lay_out_transfer_machine
  make_dat "$data_product/config/Mill/tornelix.dat" --backup "${mill_values[@]}"
  make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
  place_setup "$transfer_setup"
  if [ $engine = yes ]; then
    setup_args=(/S /ENGINECODES)
    code=3010 outcome=installed-restart-required
  else
    setup_args=(/S)
    code=0 outcome=installed
  fi
  run_setup --report-windows
  expect_exit $code "write-filter-$engine"
  grep -q 'release=transfer' "$product/release.txt" || fail "write filter ($engine): not the new release"
  expect_amend "$product/config/Mill/amend.dat" expected_mill
  expect_amend "$product/config/Lathe/amend.dat" expected_lathe
  grep -q '^Commit=1' "$D/Velko/Boot/Boot.ini" || fail "no commit notice: $(cat "$D/Velko/Boot/Boot.ini")"
  expect_closing $code "write-filter-$engine" $outcome
  pass "write-filter controller, /S$([ $engine = yes ] && echo ' /ENGINECODES'): $code, the new release in place, Mill and Lathe exact"
done
