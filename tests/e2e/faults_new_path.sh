#!/usr/bin/env bash
# A new release whose own setup.cfg says Path=C:\Windows\ (packed past
# mksetup's check, as by hand), on an old machine with data files and on one
# updated just before (values only in the amend files): the update refuses
# the Path once the package has run, before anything is written under it,
# and puts the installed release back: exit 4, the reason in the setup log,
# every file of the program and data trees as before, nothing of the product
# in C:\Windows. /S /CHECK refuses it first (exit 2).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
unset TLX_PACKAGE_TREE TLX_PACKAGE_EXIT

bad_release="$out/windows-path"
cp -r "$transfer_release" "$bad_release"
printf '[Settings]\r\nPath=C:\\Windows\\\r\n' >"$bad_release/setup.cfg"
bad_setup="$out/Setup-windows-path.exe"
# mksetup's own check of setup.cfg would refuse the release: left out.
by_hand="$out/mksetup-by-hand.sh"
cat >"$by_hand" <<SH
#!/usr/bin/env bash
[ "\$1" = --check-cfg ] && exit 0
args=()
while [ \$# -gt 0 ]; do
  if [ "\$1" = --cfg ]; then args+=(--no-cfg-check); shift 2; else args+=("\$1"); shift; fi
done
exec bash "$e2e_root/scripts/wine-run.sh" "$TLX_WIN_BIN/mksetup.exe" "\${args[@]}"
SH
chmod +x "$by_hand"
MKSETUP=$by_hand bash "$e2e_root/scripts/package-release.sh" "$bad_release" "$bad_setup" "$TLX_WIN_BIN/Setup.exe" \
  >"$out/package.out" 2>&1 || fail "package-release: $(cat "$out/package.out")"

# The program tree, the data drive without the setup's own records, and the
# names in the Windows directory (too large to checksum on every run).
machine_state() { snapshot "$install_root" "$D" | grep -v -e ' \./Velko/Boot\(/\|$\)' -e ' \./Velko\.previous\(/\|$\)'; }
windows_names() { (cd "$C/windows" && find . -path ./temp -prune -o -print | sort); }
refused_update() {
  local before windows
  before=$(machine_state)
  windows=$(windows_names)
  place_setup "$bad_setup"
  setup_args=(/S)
  rm -f "$transcript" "$temp_dir/TornelixSetupLog.txt"
  run_setup
  cp "$transcript" "$out/transcript-$1.txt"
  expect_transcript "exit 4"
  [ "$(machine_state)" = "$before" ] || fail "$1: the machine is not as before: $(diff <(echo "$before") <(machine_state) | head)"
  [ "$(windows_names)" = "$windows" ] || fail "$1: C:\\Windows changed: $(diff <(echo "$windows") <(windows_names) | head)"
  grep -qF -- '新版本的 setup.cfg 中的 Path 不能使用，恢复原来的版本：Path=C:\Windows\' <<<"$(setup_log)" ||
    fail "$1: the setup log does not name the refused Path"
  grep -qF -- '新版本没有安装' <<<"$(setup_log)" || fail "$1: the box's text is not in the setup log"
  expect_states "0,1,2,3,5,6"
}

# --- An old machine: values in data files, part programs in the data tree.
clean_machine
lay_out_rollback_machine
part_programs "$data_product" 30
setup_args=(/S /CHECK)
place_setup "$bad_setup"
run_setup
expect_transcript "exit 2"
grep -qF -- '新版本的setup.cfg：Path=C:\Windows\ 不能使用' <<<"$(setup_log)" || fail "/CHECK does not name the new Path"
refused_update old
pass "old machine: /S /CHECK exit 2; the update exit 4, the installed release and every user file as before, nothing in C:\\Windows"

# --- A machine updated just before.
place_setup "$transfer_setup"
setup_args=(/S)
run_setup
expect_transcript "exit 0"
expect_carried
refused_update updated
expect_carried
pass "machine updated just before: exit 4, the installed release and every user file as before, nothing in C:\\Windows"
