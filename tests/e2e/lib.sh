# Shared by the end-to-end tests: a simulated controller PC in the Wine test
# bed, the setup run by the robot, and checks that read as what a user or a
# service engineer would look at. Sourced by the case scripts; expects
#   TLX_WIN_BIN   the Windows build's bin directory (Setup.exe, robot.exe, doubles)
#   TLX_E2E_DATA  where the e2e_release fixture left the setup files
#   TLX_E2E_OUT   this case's output directory (transcripts, logs, screenshots)
set -euo pipefail

: "${TLX_WIN_BIN:?}" "${TLX_E2E_DATA:?}" "${TLX_E2E_OUT:?}"
e2e_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
envfile="${TLX_BED_DIR:-$e2e_root/build/wine}/env"
[ -f "$envfile" ] || bash "$e2e_root/scripts/winebed.sh" up >&2
# shellcheck disable=SC1090
. "$envfile"

case_name=$(basename "$0" .sh)
out="$TLX_E2E_OUT/$case_name"
rm -rf "$out"
mkdir -p "$out"

# A case that sets TLX_E2E_WIN32=1 runs on a 32-bit Windows instead: a
# prefix of its own, made once per build tree, on the bed's display.
if [ -n "${TLX_E2E_WIN32:-}" ]; then
  bed32="$TLX_E2E_OUT/bed32"
  export WINEPREFIX="$bed32/prefix" WINEARCH=win32 TLX_DDRIVE="$bed32/d-drive"
  mkdir -p "$TLX_DDRIVE"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1 || true
  fi
  ln -sfn "$TLX_DDRIVE" "$WINEPREFIX/dosdevices/d:"
fi

# The machine as the setup sees it.
wine_user=$(id -un)
C="$WINEPREFIX/drive_c"
D="$TLX_DDRIVE"
if [ -d "$C/windows/syswow64" ]; then
  install_root="$C/Program Files (x86)/Velko"
  system_dir="$C/windows/syswow64" # what a 32-bit program on 64-bit Windows calls system32
else
  install_root="$C/Program Files/Velko"
  system_dir="$C/windows/system32"
fi
# The records an elevated run acts on, where only administrators write.
records="${install_root}.records"
records_win='C:\\Program Files (x86)\\Velko.records'
[ -d "$C/windows/syswow64" ] || records_win='C:\\Program Files\\Velko.records'

desktop="$C/users/$wine_user/Desktop"
programs="$C/users/$wine_user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
temp_dir="$C/users/$wine_user/Temp"
media="$C/Media"
doubles_log="$out/doubles.log"
transcript="$out/transcript.txt"

fail() {
  echo "FAIL [$case_name]: $*" >&2
  exit 1
}
pass() { echo "ok [$case_name]: $*"; }

winpath() { winepath -w "$1" 2>/dev/null; }

# Wipes everything earlier runs may have left and gives the PC its own
# desktop (a new prefix links it to the host's home directory).
clean_machine() {
  rm -rf "$install_root" "${install_root%/}.previous" "${install_root%/}.staged" "$records" "$C/Velko.records" "$D"/* "$C/Velko" "$media" "$temp_dir"/*
  mkdir -p "$D" "$temp_dir" "$media" "$programs"
  if [ -L "$desktop" ]; then rm -f "$desktop"; fi
  mkdir -p "$desktop"
  rm -f "$desktop"/*.lnk "$programs"/*.lnk
  rm -f "$system_dir/ewfmgr.exe" "$system_dir/drivers/ewf.sys" "$system_dir/tlxdx.dll" "$system_dir/drivers/tlxio.sys"
  rm -f "$C/windows/system32/ewfmgr.exe" "$C/windows/system32/drivers/ewf.sys"
  # Windows has a drivers directory beside the 32-bit system files; a new
  # Wine prefix does not.
  mkdir -p "$system_dir/drivers"
}

# The bed is shared with the other Windows tests: leave it without an
# installation whatever the outcome (the case's output stays in $out).
trap 'clean_machine; if [ -n "${TLX_E2E_WIN32:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi' EXIT

# An installation of an older release on C: and D:, with its shortcuts.
lay_out_old_installation() {
  local p="$install_root/TorneLix"
  mkdir -p "$p/config/Mill" "$p/Lang"
  printf '[Settings]\r\nPath=TorneLix\\\r\n' >"$install_root/setup.cfg"
  printf 'old release\r\n' >"$p/release.txt"
  printf 'old control program\r\n' >"$p/Tornelix.exe"
  printf 'old data\r\n' >"$p/config/Mill/Tornelix.dat"
  printf 'old stray file\r\n' >"$install_root/old-only.txt"
  local dp="$D/Velko/TorneLix"
  mkdir -p "$dp/config/Mill" "$D/Velko/Boot" "$D/NcFiles/Wizards"
  printf '[ActiveLang]\r\nActiveLang=chn\r\n' >"$dp/user.ini"
  printf 'old data on D\r\n' >"$dp/config/Mill/Tornelix.dat"
  printf 'old wizard\r\n' >"$D/NcFiles/Wizards/wizard.txt"
  printf 'shortcut\r\n' >"$desktop/Tornelix.lnk"
  printf 'shortcut\r\n' >"$desktop/Torne lix.lnk"
  printf 'shortcut\r\n' >"$programs/Tornelix.lnk"
  printf 'other\r\n' >"$desktop/Other.lnk"
}

make_write_filter_system() {
  mkdir -p "$system_dir/drivers"
  cp "$TLX_WIN_BIN/double_ewfmgr.exe" "$system_dir/ewfmgr.exe"
  printf 'ewf\r\n' >"$system_dir/drivers/ewf.sys"
}

# A listing of every file below the given directories with its checksum,
# the setup log (which every run appends to) and the run state (which every
# run rewrites) left out.
snapshot() {
  local dir
  for dir in "$@"; do
    [ -e "$dir" ] || continue
    (cd "$dir" && find . \( -path ./Velko/Boot/SetUp.log -o -path ./Velko/Boot/SetupState.ini \) -prune -o -print0 | sort -z |
      xargs -0 -I{} sh -c 'if [ -f "$1" ]; then printf "%s %s\n" "$(md5sum <"$1" | cut -c1-32)" "$1"; else printf "dir %s\n" "$1"; fi' _ {})
  done
}

# Puts a setup file where a service engineer would start it from.
place_setup() { cp "$1" "$media/Setup.exe"; }

# Setup.exe's own arguments (e.g. /S) for run_setup and start_setup.
setup_args=()

# Runs the setup under the robot and waits for it. Extra arguments go to the
# robot. The transcript is in $transcript, as UTF-8.
run_setup() {
  TLX_DOUBLE_LOG=$(winpath "$doubles_log") \
    wine "$TLX_WIN_BIN/robot.exe" --log "$(winpath "$transcript")" --timeout "${ROBOT_TIMEOUT:-90}" "$@" \
    -- 'C:\Media\Setup.exe' ${setup_args[@]+"${setup_args[@]}"} >"$out/robot.out" 2>"$out/robot.err" || true
  [ -f "$transcript" ] || fail "the robot left no transcript"
}

# The same in the background; wait_setup waits for it.
start_setup() {
  TLX_DOUBLE_LOG=$(winpath "$doubles_log") \
    wine "$TLX_WIN_BIN/robot.exe" --log "$(winpath "$transcript")" --timeout "${ROBOT_TIMEOUT:-90}" "$@" \
    -- 'C:\Media\Setup.exe' ${setup_args[@]+"${setup_args[@]}"} >"$out/robot.out" 2>"$out/robot.err" &
  robot_pid=$!
}
wait_setup() {
  wait "$robot_pid" || true
  [ -f "$transcript" ] || fail "the robot left no transcript"
}

# Setup.exe with these arguments (e.g. /S /ROLLBACK) under the robot; each
# run's transcript is kept as transcript-<arguments>-<n>.txt.
silent_runs=0
silent_run() {
  setup_args=("$@")
  rm -f "$transcript"
  run_setup
  cp "$transcript" "$out/transcript-$(echo "$*" | tr -d '/ =')-$((++silent_runs)).txt"
}

# The control program (its double, holding the instance mutex) until
# stop_control_program.
start_control_program() {
  control_release="$out/release-control"
  local ready="$out/control-ready"
  rm -f "$control_release" "$ready"
  wine "$TLX_WIN_BIN/double_control.exe" --until-file "$(winpath "$control_release")" --ready-file "$(winpath "$ready")" \
    >/dev/null 2>&1 &
  control_pid=$!
  wait_for_file "$ready" 30 || fail "the control program double did not start"
}
stop_control_program() {
  touch "$control_release"
  wait "$control_pid" || true
}

# Waits until a file exists (up to $2 seconds, default 60).
wait_for_file() {
  local i
  for ((i = 0; i < ${2:-60} * 10; i++)); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# The states the sequence ran, in order, from the trace log's setup-step records.
states_run() {
  local log="$temp_dir/TornelixSetupLog.txt"
  [ -f "$log" ] || return 0
  grep -a '^|S|state ' "$log" | awk '{print $2}' | paste -sd, -
}

# A reader that stops early (grep -q) must not fail the pipeline under
# pipefail: the log is long, and iconv then dies of SIGPIPE.
setup_log() { iconv -f GBK -t UTF-8 "$D/Velko/Boot/SetUp.log" || true; }

# The kept previous release's tag, from its record in the records' directory.
kept_tag() { grep -a '^tag	' "$records/SetUp.kept" 2>/dev/null | cut -f2; }
# After a good update: exactly the kept previous release is set aside (its
# directory below each ".previous", the one SetUp.kept names), no journal.
expect_only_kept_release() {
  local tag dirs
  tag=$(kept_tag)
  [ -n "$tag" ] || fail "no kept previous release recorded"
  dirs=$( (ls -A "${install_root}.previous" "$D/Velko.previous" 2>/dev/null || true) | grep -v -e ':$' -e '^$' | sort -u)
  [ "$dirs" = "$tag" ] || fail "set aside besides the kept release $tag: $dirs"
  expect_dir "$D/Velko.previous/$tag"
  expect_dir "${install_root}.previous/$tag"
  expect_gone "$records/SetUp.journal"
}

expect_transcript() { grep -qF -- "$1" "$transcript" || fail "transcript lacks: $1"; }
expect_no_transcript() { ! grep -qF -- "$1" "$transcript" || fail "transcript has: $1"; }
expect_file() { [ -f "$1" ] || fail "missing file: $1"; }
expect_dir() { [ -d "$1" ] || fail "missing directory: $1"; }
expect_gone() { [ ! -e "$1" ] || fail "still there: $1"; }
expect_states() {
  local got
  got=$(states_run)
  [ "$got" = "$1" ] || fail "states run: $got, expected $1"
}
# The last step label the dialog showed.
last_label() { grep '^label ' "$transcript" | tail -1 | awk '{print $2}'; }
# Every message box text, one per line.
box_texts() { grep '^box ' "$transcript" | sed 's/.* text=//'; }
