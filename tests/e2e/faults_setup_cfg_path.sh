#!/usr/bin/env bash
# setup.cfg's Path in the installed release names the product trees that the
# setup saves and deletes. Values that lead out of them ("..\" the Program
# Files folder and D:\, "\" the drive roots, "C:\windows\" the system,
# "..\..\..\" the drive roots again) end the run with one message that names
# setup.cfg, the value and the reason, and nothing anywhere changes. The
# usual value and an absolute directory of its own on another drive pass the
# check: the wipe warning comes, and Cancel ends the run. Short spellings of
# the program-files folders and of the installation directory are refused
# for what they are, and a short spelling that names nothing as unclear.
. "$(dirname "$0")/lib.sh"

# A drive E: for the absolute Path; the link goes with the case.
e_drive="$out/e-drive"
mkdir -p "$e_drive"
ln -sfn "$e_drive" "$WINEPREFIX/dosdevices/e:"
trap 'rm -f "$WINEPREFIX/dosdevices/e:"; clean_machine; rm -rf "$C/Other"' EXIT

# Files beside the product trees that a wipe gone astray would take.
lay_out_neighbours() {
  mkdir -p "$D/Other/sub" "$C/Other" "$e_drive/Cnc/config"
  printf 'other data\r\n' >"$D/Other/sub/keep.txt"
  printf 'other program\r\n' >"$C/Other/keep.txt"
  printf 'cnc data\r\n' >"$e_drive/Cnc/config/keep.txt"
}
# Every entry of drive C: with its size and time (the user's temp directory,
# where the trace log goes, and the setup's records' directory, where the run
# state is written, left out; a directory by name alone, as the records'
# directory appearing touches its parent): the Windows directory is too large
# to checksum on every run.
c_listing() {
  (cd "$C" && find . \( -path "./users/$wine_user/Temp" -o -path "./Program Files*/Velko.records" \) -prune -o \
    -type d -printf '%p d\n' -o -printf '%p %y %s %T@\n' | sort)
}
# A text as the robot's transcript writes it: backslashes doubled.
in_transcript() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }

not_below='相对路径必须指向安装目录和数据目录之下的目录'
refusals=(
  '..\'"|$not_below"
  '\|它是驱动器的根目录'
  'C:\windows\|它是系统目录或包含系统目录，或位于Windows目录中'
  '..\..\..\'"|$not_below"
  'TorneLix\|'
  'E:\Cnc\|'
)
# Short (8.3) spellings, as this system makes them (Wine hashes them): the
# program-files folders themselves, the installation directory, and one that
# leads nowhere.
mapfile -t shorts < <(wine "$TLX_WIN_BIN/double_shortname.exe" 'C:\Program Files' 'C:\Program Files (x86)' 2>/dev/null | tr -d '\r')
[ "${#shorts[@]}" = 2 ] && [ "${shorts[0]}" != - ] && [ "${shorts[1]}" != - ] &&
  [ "${shorts[0]}" != 'C:\Program Files' ] || fail "no short names from the system: ${shorts[*]}"
# The x86 folder holds the installation directory: that reason comes first.
holds_root='它是安装目录或数据目录，或包含它们'
refusals+=(
  "${shorts[0]}\\|它是系统目录或包含系统目录，或位于Windows目录中"
  "${shorts[1]}|$holds_root"
  "${shorts[1]}\\Velko\\|$holds_root"
  'C:\PROGRA~9\|它没有指明一个确定的目录'
)
for entry in "${refusals[@]}"; do
  value=${entry%%|*}
  reason=${entry#*|}
  clean_machine
  lay_out_old_installation
  printf '[Settings]\r\nPath=%s\r\n' "$value" >"$install_root/setup.cfg"
  lay_out_neighbours
  place_setup "$TLX_E2E_DATA/base/Setup.exe"
  before=$(snapshot "$install_root" "$D" "$desktop" "$programs" "$e_drive" "$C/Other")
  before_c=$(c_listing)
  rm -f "$transcript" "$temp_dir/TornelixSetupLog.txt"
  run_setup --try-keys --answer "警告=CANCEL"
  cp "$transcript" "$out/transcript-$(printf '%s' "$value" | tr -c 'A-Za-z0-9' _).txt"

  expect_transcript "exit 2"
  expect_no_transcript "timeout"
  expect_states "0,1"
  [ "$(grep -c '^box ' "$transcript")" = 1 ] || fail "Path=$value: message boxes: $(box_texts)"
  if [ -n "$reason" ]; then
    expect_transcript "box caption=\"Setup\" buttons=OK text=\"$(in_transcript "安装配置文件(C:\\Program Files (x86)\\Velko\\setup.cfg)中的设置 Path=$value 不能使用：$reason。")\\n安装程序没有做任何更改，现在退出。\""
  else
    expect_transcript 'buttons=OK,CANCEL text="警告！\n安装程序将删除(C:\\Program Files (x86)\\Velko\\)中的所有文件。'
    expect_transcript "answer CANCEL"
  fi
  after=$(snapshot "$install_root" "$D" "$desktop" "$programs" "$e_drive" "$C/Other")
  [ "$before" = "$after" ] || fail "Path=$value: the machine changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
  after_c=$(c_listing)
  [ "$before_c" = "$after_c" ] || fail "Path=$value: drive C: changed: $(diff <(echo "$before_c") <(echo "$after_c") | head -20)"
  [ ! -s "$doubles_log" ] || fail "Path=$value: a program was started: $(cat "$doubles_log")"
  if [ -n "$reason" ]; then
    pass "Path=$value refused ($reason), nothing changed"
  else
    pass "Path=$value passes the check: the wipe warning, Cancel, nothing changed"
  fi
done
