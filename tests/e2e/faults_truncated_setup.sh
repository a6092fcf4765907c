#!/usr/bin/env bash
# A setup file cut short by one byte (the trailer is damaged) and by half of
# its package: "Bad Signature" before the wipe warning. Cut by half of the
# whole file, the program image itself is cut and Windows refuses to start it.
# Either way the old installation and its parameter files stay untouched and
# no program is started.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/faults_lib.sh"

clean_machine
lay_out_transfer_machine
make_dat "$data_product/config/Mill/tornelix.dat" --backup "${mill_values[@]}"
make_dat "$product/config/Lathe/tornelix.dat" "${lathe_values[@]}"
before=$(snapshot "$install_root" "$D" "$desktop" "$programs")
size=$(stat -c %s "$transfer_setup")
package=$((size - $(stat -c %s "$TLX_WIN_BIN/Setup.exe")))
for cut in 1 $((package / 2)) $((size / 2)); do
  bad="$out/Setup-less-$cut.exe"
  head -c $((size - cut)) "$transfer_setup" >"$bad"
  place_setup "$bad"
  rm -f "$transcript"
  run_setup --try-keys
  cp "$transcript" "$out/transcript-less-$cut.txt"
  after=$(snapshot "$install_root" "$D" "$desktop" "$programs")
  [ "$before" = "$after" ] || fail "$cut bytes short: the machine changed: $(diff <(echo "$before") <(echo "$after") | head -20)"
  [ ! -s "$doubles_log" ] || fail "$cut bytes short: a program was started: $(cat "$doubles_log")"
  if [ "$cut" = $((size / 2)) ]; then
    # ERROR_BAD_EXE_FORMAT: the loader's own refusal, before any code of ours.
    expect_transcript "start-failed 193"
    pass "half of the file cut: Windows refuses the program (193), the machine untouched"
    continue
  fi

  [ "$(box_texts)" = '"Bad Signature"' ] || fail "$cut bytes short: message boxes: $(box_texts)"
  expect_transcript "exit 3"
  expect_no_transcript "timeout"
  expect_states "0,1"
  labels=$(grep '^label ' "$transcript" | awk '{print $2}' | paste -sd, -)
  [ "$labels" = "140,141" ] || fail "$cut bytes short: labels shown: $labels"
  expect_gone "$param_work"
  ! ls "$temp_dir"/sep*.tmp >/dev/null 2>&1 || fail "$cut bytes short: package written out"
  # The trace log of the next run starts afresh.
  rm -f "$temp_dir/TornelixSetupLog.txt"
  pass "$cut of $size bytes cut: Bad Signature only, no warning, data files and installation untouched"
done
