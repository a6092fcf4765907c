#!/usr/bin/env bash
# A controller's life at random, seeded (TLX_LIFE_SEED; the seed is printed
# so that a failure can be run again): the operator's work with odd files (a
# Korean folder, a 245-character path, names like parameter files, a file
# dated 2031), updates to two releases with and without the values carried
# and with /NOKEEP, the same release again, /REINSTALL, /ROLLBACK, a cut while
# the package runs with work saved before the next start, and the kept
# directories deleted by hand. After every step every file the operator
# saved is where it was saved, byte for byte, the release in place is the
# one expected, and every run ended with the code it should.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/transfer_lib.sh"
. "$(dirname "$0")/rollback_lib.sh"
unset TLX_PACKAGE_TREE

seed=${TLX_LIFE_SEED:-20261210}
steps=${TLX_LIFE_STEPS:-16}
echo "life: seed $seed, $steps steps (again: TLX_LIFE_SEED=$seed)"
RANDOM=$seed
future_setup LifeA 'macro of release A'
future_setup LifeB 'macro of release B'

declare -A work=() # path below the data tree: its checksum
n_saved=0
save() { # PATH TEXT [DATE]: the operator saves a file
  local path="$data_product/$1"
  mkdir -p "$(dirname "$path")"
  printf '%s\r\n' "$2" >"$path"
  [ -z "${3:-}" ] || touch -d "$3" "$path"
  work[$1]=$(md5sum <"$path")
  n_saved=$((n_saved + 1))
}
do_work() {
  local i kind
  for ((i = 0; i < 3; i++)); do
    kind=$((RANDOM % 7))
    case $kind in
    0) save "Parts/p$((RANDOM % 3))/O$n_saved.nc" "O$n_saved G0 X$RANDOM" ;;
    1) save "Parts/한국/k$n_saved.nc" "Korean folder $RANDOM" ;;
    2) save "Parts/작업😀/e$n_saved.nc" "emoji folder $RANDOM" ;;
    3) save "CAM/config.ini" "[Post] Machine=Mill $RANDOM"
       save "Parts/Tornelix_Update_Test.nc" "test part $RANDOM"
       save "Parts/discarded-fixture.nc" "fixture $RANDOM" ;;
    4) save "Parts/future$n_saved.nc" "dated ahead $RANDOM" '2031-01-01 08:00' ;;
    5) local customer project
       customer="Kunde-$(printf 'K%.0s' {1..100})"
       project="Projekt-$(printf 'P%.0s' $(seq $((245 - ${#data_product} + ${#D} - 2 - 15 - ${#customer} - 16))))"
       save "Parts/Kunden/$customer/$project/L$((n_saved % 10)).nc" "long path $RANDOM" ;;
    6) local paths=("${!work[@]}")
       [ ${#paths[@]} = 0 ] || save "${paths[RANDOM % ${#paths[@]}]}" "edited $RANDOM" ;;
    esac
  done
}
check_work() {
  local path now
  for path in "${!work[@]}"; do
    now=$(md5sum <"$data_product/$path" 2>/dev/null || echo missing)
    [ "$now" = "${work[$path]}" ] || fail "step $step ($what): the operator's $path is $now"
  done
}
expect_release() {
  if [ "$1" = old ]; then
    grep -q 'old release' "$product/release.txt" || fail "step $step ($what): not the old release"
  else
    grep -q "release=$1" "$product/release.txt" || fail "step $step ($what): not release $1: $(cat "$product/release.txt")"
  fi
}

clean_machine
lay_out_rollback_machine
installed=old kept=none # none, a release, or broken (deleted by hand)
place_setup "$out/Setup-LifeA.exe" # /ROLLBACK runs whichever setup file is at hand
other() { [ "$installed" = LifeA ] && echo LifeB || echo LifeA; }
for ((step = 1; step <= steps; step++)); do
  do_work
  case $((RANDOM % 8)) in
  0 | 1) target=$(other) args=/S
    case $((RANDOM % 3)) in 1) args="/S /NOPARAMS" ;; 2) args="/S /NOKEEP" ;; esac
    what="update to $target ($args)"
    place_setup "$out/Setup-$target.exe"
    # shellcheck disable=SC2086 # the switches, one word each
    silent_run $args
    expect_transcript "exit 0"
    if [ "$args" = "/S /NOKEEP" ]; then kept=none; else kept=$installed; fi
    installed=$target ;;
  2) what="the same release again"
    [ "$installed" != old ] || continue
    place_setup "$out/Setup-$installed.exe"
    silent_run /S
    expect_transcript "exit 0"
    setup_log | tail -5 | grep -qF '此版本已经安装' || fail "step $step: the same release was installed again" ;;
  3) what="/REINSTALL"
    [ "$installed" != old ] || continue
    place_setup "$out/Setup-$installed.exe"
    silent_run /S /REINSTALL
    expect_transcript "exit 0" ;;
  4 | 5) what="/ROLLBACK with $kept kept"
    silent_run /S /ROLLBACK
    case $kept in
    none) expect_transcript "exit 13" ;;
    broken) expect_transcript "exit 14" ;;
    *) expect_transcript "exit 0"
      swap=$installed installed=$kept kept=$swap ;;
    esac ;;
  6) target=$(other) what="a cut while the package of $target runs, work, the next start"
    cut_while_package_runs "$out/Setup-$target.exe"
    do_work
    silent_run /S
    expect_transcript "exit 0"
    kept=$installed installed=$target ;;
  7) what="the kept directories deleted by hand"
    tag=$(kept_tag || true)
    [ -n "$tag" ] || continue
    rm -rf "$D/Velko.previous/$tag" "${install_root}.previous/$tag"
    kept=broken ;;
  esac
  echo "life: step $step: $what"
  expect_release "$installed"
  check_work
done
pass "seed $seed: $steps steps of a controller's life, ${#work[@]} operator files whole after every one"
