#!/usr/bin/env bash
# The control program's mutex and the driver installer's are held under a
# security descriptor that denies everyone: the setup's CreateMutex fails with
# access denied instead of finding the name. That is no proof that the
# program is gone: the setup must wait in state 0 (nothing warned, nothing
# wiped) until the holder ends, and at the end it must wait for the driver
# installer's mutex before the final message. Skipped (77) where the system
# does not enforce the descriptor, as the setup would then see the name exist.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

# deny_mutex KEY NAME: a holder of mutex NAME, released by touching $out/release-KEY.
deny_mutex() {
  rm -f "$out/release-$1" "$out/ready-$1"
  TLX_DOUBLE_LOG=$(winpath "$doubles_log") wine "$TLX_WIN_BIN/double_denymutex.exe" --name "$2" --until-file "$(winpath "$out/release-$1")" \
    --ready-file "$(winpath "$out/ready-$1")" >/dev/null 2>&1 &
  eval "holder_$1=$!"
  wait_for_file "$out/ready-$1" 30 || fail "the holder of $2 did not start: $(cat "$doubles_log" 2>/dev/null)"
  # The ready file is written once it is closed; give it a moment.
  for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$out/ready-$1" ] && break; sleep 0.1; done
}
undeny_mutex() {
  local pid_var="holder_$1"
  [ -n "${!pid_var:-}" ] || return 0
  touch "$out/release-$1"
  wait "${!pid_var}" || true
  eval "holder_$1="
}
release_holders() { undeny_mutex control; undeny_mutex installer; }
on_exit_first release_holders

clean_machine
lay_out_old_installation
machine_files() { snapshot "$install_root" "$D" "$desktop" "$programs"; }
machine_files >"$out/before.txt"

deny_mutex control 'kvt_TORNELIX_7000{F87C04A0-D4EA-11d4-88B8-0050FC09F3B0}'
if ! grep -q '^denied' "$out/ready-control"; then
  echo "SKIP: this Wine does not enforce a mutex's security descriptor (a second open of a mutex denying everyone: $(tr -d '\r' <"$out/ready-control")); the case would pass for the wrong reason"
  exit 77
fi
deny_mutex installer 'InstallDrv.velko.com'
grep -q '^denied' "$out/ready-installer" || fail "the driver installer's mutex was not denied: $(cat "$out/ready-installer")"

place_setup "$TLX_E2E_DATA/base/Setup.exe"
start_setup --answer "警告=OK" --answer "是否保留=NO"
sleep 6
early=$(cat "$transcript")
early_states=$(states_run)
machine_files >"$out/while-held.txt"
undeny_mutex control

[ "$early_states" = 0 ] || fail "states run while the mutex was denied: $early_states"
grep -q '^label 140 ' <<<"$early" || fail "label 140 not shown while waiting: $early"
! grep -q '^box ' <<<"$early" || fail "a message while the mutex was denied: $early"
diff "$out/before.txt" "$out/while-held.txt" >"$out/changed.txt" || fail "the machine changed while waiting: $(head "$out/changed.txt")"
pass "a mutex that denies access counts as the control program running: state 0 only, nothing touched"

# At the end the setup waits for the driver installer's denied mutex.
for _ in $(seq 600); do
  case ",$(states_run)," in *,20,*) break ;; esac
  kill -0 "$robot_pid" 2>/dev/null || break
  sleep 0.1
done
case ",$(states_run)," in *,20,*) ;; *) wait_setup; fail "state 20 not reached: $(states_run); $(box_texts)" ;; esac
sleep 4
grep -q 'TorneLix安装完成!' "$transcript" && fail "the final message came while the installer's mutex was denied"
undeny_mutex installer
wait_setup

expect_transcript "exit 0"
expect_no_transcript "timeout"
expect_states "0,1,2,5,6,7,8,10,12,15,16,20"
expect_transcript 'text="警告！\n安装程序将删除(C:\\Program Files (x86)\\Velko\\)'
expect_transcript 'box caption="Setup" buttons=OK text="TorneLix安装完成!"'
expect_gone "$install_root/old-only.txt"
grep -q 'release=demo' "$install_root/TorneLix/release.txt" || fail "not the demo release"
pass "once the holder ended: warning, install; the final message only after the installer's mutex was free"
