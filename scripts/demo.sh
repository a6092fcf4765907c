#!/usr/bin/env bash
# The main job, end to end: builds Setup.exe and a demo release of the
# control package, lays out a simulated controller PC in a Wine prefix (an
# old installation on C: and D:, its shortcuts), runs the setup there as a
# user would (OK to the wipe warning, OK to the final message) and prints
# what the user saw and what changed on the machine.
#   bash scripts/demo.sh
# Runs on the user's display when DISPLAY is set, otherwise on Xvfb, where a
# screenshot of the dialog is saved (build/demo/out/demo/dialog.png).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "$(id -u)" = 0 ]; then
  bash scripts/bootstrap.sh
else
  echo "demo: not root, skipping bootstrap (run scripts/bootstrap.sh as root once)"
fi

echo "== building Setup.exe, the robot and the doubles of the outside programs"
cmake -S "$root" -B "$root/build/win" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$root/build/win" -j"$(nproc)" --target Setup robot mksetup \
  double_control double_installdrv double_ewfmgr double_firstrun make_datafile >/dev/null
cmake -S "$root" -B "$root/build/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native" -j"$(nproc)" --target mksetup >/dev/null

demo="$root/build/demo"
echo "== packing the demo release into a setup file"
bash scripts/make-demo-release.sh "$root/build/win/bin" "$demo/data/base"
# The new release's format dropped a member, shrank an array and added one;
# its configurations ship their own amend.dat.
TLX_WIN_BIN="$root/build/win/bin" TLX_E2E_DATA="$demo/data" bash tests/e2e/transfer_release.sh

echo "== a simulated controller PC: Wine prefix, C: program tree, D: data tree"
export TLX_BED_DIR="$demo/bed"
had_display=${DISPLAY:-}
bash scripts/winebed.sh up
export TLX_WIN_BIN="$root/build/win/bin" TLX_E2E_DATA="$demo/data" TLX_E2E_OUT="$demo/out"
# shellcheck source=../tests/e2e/lib.sh
. "$root/tests/e2e/lib.sh"
# The machine stays as the setup left it, for a look afterwards; only Wine
# and Xvfb are stopped.
trap 'bash "$root/scripts/winebed.sh" down' EXIT
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1 || true
clean_machine
lay_out_old_installation
# The machine's parameters: real data files of the old release's format,
# Mill on the data drive, Lathe in the program tree.
old_fmt="$root/tests/e2e/transfer/old.fmt"
product="$install_root/TorneLix"
cp "$old_fmt" "$product/tornelix.fmt"
rm -f "$product/config/Mill/Tornelix.dat"
mkdir -p "$product/config/Lathe"
wine "$TLX_WIN_BIN/make_datafile.exe" "$(winpath "$D/Velko/TorneLix/config/Mill/Tornelix.dat")" "$(winpath "$old_fmt")" \
  m_fSpeed=12.5 m_nAxes=3 m_fOldGain=0.75 'm_naLimit[0]=100' 'm_naLimit[1]=200' 'm_naLimit[2]=300' \
  'm_nxaOffset[1]=1.5' m_home.m_fX=-3.125 m_home.m_fY=1 m_szName=MILL-A >/dev/null
wine "$TLX_WIN_BIN/make_datafile.exe" "$(winpath "$product/config/Lathe/Tornelix.dat")" "$(winpath "$old_fmt")" \
  m_fSpeed=40.5 m_nAxes=4 'm_naLimit[0]=11' 'm_naLimit[1]=22' m_home.m_fX=5 m_szName=LATHE-B >/dev/null

# Every file of the machine's two trees and the user's shortcut folders.
listing() {
  local base label
  for pair in "C:/Program Files (x86)/Velko|$install_root" "C:/Velko|$C/Velko" "D:|$D" \
              "Desktop|$desktop" "Start Menu/Programs|$programs"; do
    label=${pair%%|*}
    base=${pair#*|}
    [ -d "$base" ] || continue
    (cd "$base" && find . -type f -print0 | sort -z | while IFS= read -r -d '' f; do
      printf '%s\t%s\n' "$label/${f#./}" "$(md5sum <"$f" | cut -c1-32)"
    done)
  done
}
before=$(listing)
echo "old installation: $(grep -c . <<<"$before") files"

place_setup "$demo/data/transfer/Setup.exe"
# The control program is still open when the engineer starts the setup; it
# is closed a few seconds later.
wine "$TLX_WIN_BIN/double_control.exe" --hold-ms 4000 --ready-file "$(winpath "$out/control-ready")" >/dev/null 2>&1 &
wait_for_file "$out/control-ready" 30 || true
echo "== running Setup.exe (the control program closes after 4 s; the robot clicks OK at the warning, Yes to keep the parameters, OK at the end)"
marker="$out/final-box"
start_setup --answer "警告=OK" --answer "是否保留=YES" --pause-at "TorneLix安装完成!=$(winpath "$marker")"
if wait_for_file "$marker.ready" 120; then
  if [ -z "$had_display" ]; then
    import -display "$DISPLAY" -window root "$out/dialog.png" && echo "screenshot: $out/dialog.png"
  fi
  sleep 1
  touch "$marker"
fi
wait_setup

echo
echo "== what the user saw"
sed -e 's/^/  /' -e 's/\\n/ /g' -e 's/\\\\/\\/g' "$transcript"
echo
echo "== what changed on the machine"
after=$(listing)
join -t $'\t' -a1 -a2 -e '-' -o 0,1.2,2.2 <(sort <<<"$before") <(sort <<<"$after") |
  while IFS=$'\t' read -r path old new; do
    if [ "$old" = - ]; then echo "  added    $path"
    elif [ "$new" = - ]; then echo "  removed  $path"
    elif [ "$old" != "$new" ]; then echo "  changed  $path"
    fi
  done
echo
echo "== machine-level pieces"
echo "  active language (TorneLix\\Lang\\Lang.ini): $(grep -a '^ActiveLang=' "$install_root/TorneLix/Lang/Lang.ini" | tr -d '\r')"
for f in tlxdx.dll drivers/tlxio.sys; do
  if [ -f "$system_dir/$f" ]; then echo "  system directory: $f installed"; fi
done
echo
echo "== programs the setup started"
sed -e 's/^/  /' "$doubles_log" 2>/dev/null || echo "  (none)"
echo
echo "== the machine's parameters in the new release (old values where the new format still declares them)"
for config in Mill Lathe; do
  echo "  TorneLix\\config\\$config\\amend.dat:"
  tr -d '\r' <"$product/config/$config/amend.dat" | sed -e 's/^/    /'
done
echo
echo "== setup log (D:\\Velko\\Boot\\SetUp.log)"
setup_log | sed -e 's/^/  /'
echo
echo "== install sequence states run: $(states_run)"
echo
echo "The simulated PC stays for a look: C: is $C, D: is $D."
