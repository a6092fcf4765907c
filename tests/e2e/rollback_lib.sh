# Shared by the cases of a failed or interrupted update (sourced after lib.sh
# and transfer_lib.sh): a machine with parameters and shortcuts, a setup file
# whose package is the double laying the transfer release (half of it while
# it is to fail), and the check that nothing is left set aside.
half_setup="$out/Setup-half.exe"
package_runs="$out/package-runs"
wine "$TLX_WIN_BIN/mksetup.exe" --no-cfg-check "$(winpath "$TLX_WIN_BIN/Setup.exe")" "$(winpath "$TLX_WIN_BIN/double_package.exe")" \
  "$(winpath "$half_setup")" >"$out/mksetup.out" 2>&1 || fail "mksetup: $(cat "$out/mksetup.out")"
TLX_PACKAGE_TREE=$(winpath "$transfer_release")
TLX_PACKAGE_INTO=$(winpath "$install_root")
TLX_PACKAGE_COUNTER=$(winpath "$package_runs")
TLX_PACKAGE_EXIT=7
export TLX_PACKAGE_TREE TLX_PACKAGE_INTO TLX_PACKAGE_COUNTER TLX_PACKAGE_EXIT

lay_out_rollback_machine() {
  clean_machine
  rm -f "$package_runs"
  lay_out_transfer_machine
  make_dat "$data_product/config/Mill/tornelix.dat" --backup "${mill_values[@]}"
  make_dat "$product/config/Lathe/TORNELIX.DAT" "${lathe_values[@]}"
  printf 'desktop shortcut\r\n' >"$desktop/Tornelix.lnk"
  printf 'start menu shortcut\r\n' >"$programs/Tornelix.lnk"
}

expect_nothing_set_aside() {
  expect_gone "${install_root}.previous"
  expect_gone "$D/Velko.previous"
  expect_gone "$records/SetUp.journal"
  expect_gone "$temp_save"
}

# part_programs DIR N: N part programs in directories of 100 below DIR/Parts.
part_programs() {
  local dir=$1 n=$2 i
  for ((i = 0; i < n; i++)); do
    [ $((i % 100)) = 0 ] && mkdir -p "$dir/Parts/p$((i / 100))"
    printf 'O%04d\r\nG0 X%d\r\nM30\r\n' "$i" "$i" >"$dir/Parts/p$((i / 100))/O$i.nc"
  done
}

# The states a run has entered, from its trace log.
trace_log="$temp_dir/TornelixSetupLog.txt"
reached_state() { grep -aq "^|S|state $1 " "$trace_log" 2>/dev/null; }

# An update under /S (of the transfer release, or of SETUP), cut (every
# process of the prefix killed) once it has reached the package: the journal
# stays.
cut_while_package_runs() {
  place_setup "${1:-$transfer_setup}"
  rm -f "$transcript" "$trace_log"
  setup_args=(/S)
  start_setup
  local i
  for ((i = 0; i < 1200; i++)); do
    reached_state 6 && break
    kill -0 "$robot_pid" 2>/dev/null || fail "the run ended before the package"
    sleep 0.05
  done
  wineserver -k
  wait "$robot_pid" || true
  expect_file "$records/SetUp.journal"
}

# future_setup NAME TEXT: $out/Setup-NAME.exe, a copy of the transfer release
# named NAME whose user tree lays Macros\macro.txt (TEXT), dated 2030.
future_setup() {
  local dir="$out/release-$1"
  rm -rf "$dir"
  cp -r "$transfer_release" "$dir"
  mkdir -p "$dir/User/TorneLix/Macros"
  printf '%s\r\n' "$2" >"$dir/User/TorneLix/Macros/macro.txt"
  touch -d '2030-06-01 08:00' "$dir/User/TorneLix/Macros/macro.txt"
  printf 'release=%s\r\n' "$1" >"$dir/TorneLix/release.txt"
  bash "$(dirname "$0")/../../scripts/package-release.sh" --release "$1" "$dir" "$out/Setup-$1.exe" \
    "$TLX_WIN_BIN/Setup.exe" >"$out/package-$1.out" 2>&1 || fail "package-release $1: $(tail -3 "$out/package-$1.out")"
}
