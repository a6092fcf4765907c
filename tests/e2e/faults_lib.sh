# Shared by the fault cases (sourced after lib.sh and transfer_lib.sh): a
# file held open by another program, drives taken away or made small, and
# the checks that no carried parameter value is lost.
dosdevices="$WINEPREFIX/dosdevices"

# Whatever the outcome: what a case changed under Wine's feet is put back
# (on_exit_first), the logs of the run are kept beside the transcript (a run
# that never started has none), the bed is left without an installation and
# without a save directory on C:.
# A setup started in the background (start_setup) is waited for even when a
# check failed while it ran, so that it cannot go on into the next case; the
# robot's own timeout bounds the wait.
finish_background_setup() {
  if [ -n "${robot_pid:-}" ] && kill -0 "$robot_pid" 2>/dev/null; then wait "$robot_pid" || true; fi
}
exit_hooks=(finish_background_setup)
on_exit_first() { exit_hooks=("$1" "${exit_hooks[@]}"); }
faults_exit() {
  local hook
  for hook in "${exit_hooks[@]}"; do "$hook" || true; done
  cp -f "$temp_dir/TornelixSetupLog.txt" "$out/" 2>/dev/null || true
  clean_machine
  rm -rf "$C/TorneLixTemp"
}
trap faults_exit EXIT
# ctest's timeout ends a case with a signal: the drives are put back then too.
trap 'exit 143' TERM INT

# hold_file PATH [read]: another program opens PATH without sharing (with
# "read": letting others read it, as an editor does: a copy succeeds, a
# rename or delete does not) and holds it until release_file, which lets go
# of every file held so far.
holders=()
hold_file() {
  local n=${#holders[@]} share=()
  [ -n "${2:-}" ] && share=(--share "$2")
  rm -f "$out/release-held-$n" "$out/held-ready-$n"
  wine "$TLX_WIN_BIN/double_holdfile.exe" --file "$(winpath "$1")" ${share[@]+"${share[@]}"} \
    --until-file "$(winpath "$out/release-held-$n")" --ready-file "$(winpath "$out/held-ready-$n")" >/dev/null 2>&1 &
  holders+=($!)
  wait_for_file "$out/held-ready-$n" 30 || fail "the holding program could not open $1"
}
release_file() {
  local n
  for n in "${!holders[@]}"; do
    touch "$out/release-held-$n"
    wait "${holders[$n]}" || true
  done
  holders=()
}

# small_d SIZE: D: becomes a tmpfs of SIZE for this case, unmounted at the
# end (root only; a case skips with exit 77 where it cannot be mounted).
small_d_mounted=
unmount_small_d() { if [ -n "$small_d_mounted" ]; then umount "$D" 2>/dev/null || umount -l "$D" || true; fi; }
small_d() {
  on_exit_first unmount_small_d
  if ! mount -t tmpfs -o "size=$1,mode=0755" tlx-full-d "$D" 2>"$out/mount.err"; then
    echo "SKIP: cannot mount a small file system on $D: $(cat "$out/mount.err")"
    return 1
  fi
  small_d_mounted=1
}

# The bed's drive links as winebed.sh made them; put back whatever a case
# changed, before lib.sh's own cleaning runs.
restore_drives() {
  ln -sfn "$TLX_DDRIVE" "$dosdevices/d:"
  ln -sfn / "$dosdevices/z:"
}
# The values of a parameter data file as paramtool lists them (native form
# of the old format), for comparing a file before and after a run.
dat_listing() {
  wine "$TLX_WIN_BIN/paramtool.exe" describe "$(winpath "$1")" "$(winpath "$old_fmt")" 2>&1 | tr -d '\r'
}

# run_setup for a machine without Z: (the host's root), where the build and
# output directories are out of Wine's reach: the robot runs from C:, its
# transcript and the doubles' record are copied out afterwards.
run_setup_from_c() {
  local tools="$C/faults-tools"
  mkdir -p "$tools"
  cp "$TLX_WIN_BIN/robot.exe" "$tools/robot.exe"
  rm -f "$tools/transcript.txt" "$tools/doubles.log"
  TLX_DOUBLE_LOG='C:\faults-tools\doubles.log' \
    wine 'C:\faults-tools\robot.exe' --log 'C:\faults-tools\transcript.txt' --timeout "${ROBOT_TIMEOUT:-90}" "$@" \
    -- 'C:\Media\Setup.exe' >"$out/robot.out" 2>"$out/robot.err" || true
  [ -f "$tools/transcript.txt" ] || fail "the robot left no transcript"
  cp "$tools/transcript.txt" "$transcript"
  if [ -f "$tools/doubles.log" ]; then cp "$tools/doubles.log" "$doubles_log"; fi
  rm -rf "$tools"
}
