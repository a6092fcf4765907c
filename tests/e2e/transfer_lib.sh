# shellcheck shell=bash disable=SC2034,SC2154
# Shared by the parameter transfer cases (sourced after lib.sh): the older
# installation with configurations Mill and Lathe and real parameter data
# files of transfer/old.fmt, and the amend files the merge must leave.
transfer_release="$TLX_E2E_DATA/transfer/release"
transfer_setup="$TLX_E2E_DATA/transfer/Setup.exe"
old_fmt="$(dirname "${BASH_SOURCE[0]}")/transfer/old.fmt"
param_work="$temp_dir/tornleixTemp"
temp_save="$D/TorneLixTemp"
product="$install_root/TorneLix"
data_product="$D/Velko/TorneLix"

# The logs stay with the case's output (a run may have written neither); the
# bed is left clean as lib.sh does.
trap 'cp -f "$temp_dir/TornelixSetupLog.txt" "$D/Velko/Boot/SetUp.log" "$out/" 2>/dev/null || true; clean_machine' EXIT

# make_dat OUT [make_datafile options and key=value ...]: a data file of the
# old format.
make_dat() {
  local dest=$1
  shift
  local opts=()
  while [ $# -gt 0 ] && [ "${1#--}" != "$1" ]; do
    case $1 in
    --piece | --block) opts+=("$1" "$2"); shift 2 ;;
    *) opts+=("$1"); shift ;;
    esac
  done
  wine "$TLX_WIN_BIN/make_datafile.exe" "${opts[@]}" "$(winpath "$dest")" "$(winpath "$old_fmt")" "$@" \
    >>"$out/make_datafile.log" 2>&1 || fail "make_datafile $dest: $(cat "$out/make_datafile.log")"
}

mill_values=(m__df_beginCController=1 m_fSpeed=12.5 m_nAxes=3 m_fOldGain=0.75 'm_naLimit[0]=100' 'm_naLimit[1]=200'
  'm_naLimit[2]=300' 'm_naLimit[3]=-4' 'm_nxaOffset[1]=1.5' m_nxWorkCoorPubOffset=2 m_home.m_fX=-3.125
  m_home.m_fY=1 m_szName=MILL-A m__df_endCController=9)
lathe_values=(m__df_beginCController=1 m_fSpeed=40.5 m_nAxes=4 m_fOldGain=0.5 'm_naLimit[0]=11' 'm_naLimit[1]=22'
  'm_naLimit[2]=33' 'm_naLimit[3]=44' 'm_nxaOffset[0]=7' m_nxWorkCoorPubOffset=8 m_home.m_fX=5 m_home.m_fY=-6
  m_szName=LATHE-B m__df_endCController=9)

# The older release on C: and D:. The data tree holds Mill, the program tree
# Lathe; beside them parameter files that must not come back, and files of
# the user's own that must.
lay_out_transfer_machine() {
  mkdir -p "$product/config/Lathe" "$data_product/config/Mill" "$data_product/Users" "$D/Velko/Boot"
  printf '[Settings]\r\nPath=TorneLix\\\r\n' >"$install_root/setup.cfg"
  printf 'old release\r\n' >"$product/release.txt"
  printf 'old control program\r\n' >"$product/Tornelix.exe"
  cp "$old_fmt" "$product/tornelix.fmt"
  printf '[CController]\r\nm_fSpeed = 1\r\n' >"$product/config/Lathe/amend.dat"
  printf 'old dyn\r\n' >"$product/config/Lathe/Tornelix.dyn"

  printf '[ActiveLang]\r\nActiveLang=chn\r\n' >"$data_product/user.ini"
  printf 'operator of the machine\r\n' >"$data_product/Users/operator.txt"
  printf 'ladder of the machine\r\n' >"$data_product/config/Mill/machine.plc"
  printf 'old dyn\r\n' >"$data_product/config/Mill/Tornelix.dyn"
  printf '[CController]\r\nm_fSpeed = 1\r\n' >"$data_product/config/Mill/amend.dat"
  printf 'old pmt\r\n' >"$data_product/Ncpm.pmt"
  printf 'old public\r\n' >"$data_product/config/Mill/Public.dat"
}

# The amend files the merge must leave (CR LF lines).
expected_mill() {
  printf '%s\r\n' '[CController]' 'm_fSpeed = 12.5' 'm_naLimit[0] = 100' 'm_fNewFeed = 7.5' 'm_home.m_fX = -3.125' \
    'm_nAxes = 3' 'm_naLimit[1] = 200' 'm_home.m_fY = 1' 'm_szName = "MILL-A"' '[Machine]' 'Type = Mill'
}
expected_lathe() {
  printf '%s\r\n' '[CController]' 'm_fSpeed = 40.5' 'm_nAxes = 4' 'm_fNewFeed = 3.25' 'm_naLimit[0] = 11' \
    'm_naLimit[1] = 22' 'm_home.m_fX = 5' 'm_home.m_fY = -6' 'm_szName = "LATHE-B"'
}

# expect_amend FILE FUNCTION: FILE holds exactly what FUNCTION prints.
expect_amend() {
  expect_file "$1"
  cmp -s "$1" <("$2") || fail "$1 differs: $(diff <(tr -d '\r' <"$1") <("$2" | tr -d '\r') | head -20)"
}

# Fails when a file of the parameter file set is below dir.
expect_no_parameter_files() {
  local found
  found=$(find "$1" -type f \( -iname 'tornelix*dat*' -o -iname '*discarded*' -o -iname 'amend.dat' \
    -o -iname 'public.dat' -o -iname 'ncpm.pmt' -o -iname 'config.ini' -o -iname 'tornelix.dyn*' \
    -o -iname 'tornelix.plc*' \) | sort | paste -sd' ' -)
  [ -z "$found" ] || fail "parameter files below $1: $found"
}

# The old controller values that reach a new amend.dat of the transfer
# release: expect_amend with the expected_* functions of transfer_lib.sh.
expect_carried() {
  expect_amend "$product/config/Mill/amend.dat" expected_mill
  expect_amend "$product/config/Lathe/amend.dat" expected_lathe
}
