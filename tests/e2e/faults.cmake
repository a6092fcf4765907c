# Fault cases: the setup under a held file, missing or full drives, damaged
# setup, format, data and amend files, a restore or merge that cannot write, a
# driver that cannot be replaced, mutexes that deny access. Included by
# CMakeLists.txt of this directory (uses its ${env}); they install the
# transfer fixture's release, broken copies of it, or the demo release.
add_test(NAME e2e_faults_release COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/faults_release.sh)
set_tests_properties(e2e_faults_release PROPERTIES FIXTURES_REQUIRED "e2e_release;e2e_transfer_release"
  FIXTURES_SETUP e2e_faults_release ENVIRONMENT "${env}" LABELS e2e TIMEOUT 300)
foreach(case held_open readonly_dat no_d_drive disk_full truncated_setup bad_new_format garbage_amend
    not_carried restore_held amend_unwritable driver_held denied_mutex silent_truth)
  add_test(NAME e2e_faults_${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/faults_${case}.sh)
  set_tests_properties(e2e_faults_${case} PROPERTIES
    FIXTURES_REQUIRED "e2e_release;e2e_transfer_release;e2e_faults_release" ENVIRONMENT "${env}" LABELS e2e
    RESOURCE_LOCK wine_machine TIMEOUT 240 SKIP_RETURN_CODE 77)
endforeach()

# setup.cfg's Path leading out of the product trees: the demo release over an
# old installation is enough.
add_test(NAME e2e_faults_setup_cfg_path COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/faults_setup_cfg_path.sh)
set_tests_properties(e2e_faults_setup_cfg_path PROPERTIES
  FIXTURES_REQUIRED e2e_release ENVIRONMENT "${env}" LABELS e2e RESOURCE_LOCK wine_machine TIMEOUT 240)

# A failed or interrupted update: the previous release comes back; links in
# the trees stay as they are.
foreach(case rollback power_cut faults_set_aside faults_records detection links)
  add_test(NAME e2e_${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/${case}.sh)
  set_tests_properties(e2e_${case} PROPERTIES
    FIXTURES_REQUIRED "e2e_release;e2e_transfer_release" ENVIRONMENT "${env}" LABELS e2e
    RESOURCE_LOCK wine_machine TIMEOUT 300)
endforeach()

# A cut at every state of an update and inside its set-aside and undo: the
# longest case (about thirty runs of the setup).
add_test(NAME e2e_cut_sweep COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cut_sweep.sh)
set_tests_properties(e2e_cut_sweep PROPERTIES
  FIXTURES_REQUIRED "e2e_release;e2e_transfer_release" ENVIRONMENT "${env}" LABELS e2e
  RESOURCE_LOCK wine_machine TIMEOUT 1500)

# The previous release kept after an update, /ROLLBACK back and forward again,
# cuts during its swap, nothing kept (never updated, /NOKEEP, a small drive).
add_test(NAME e2e_keep_previous COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/keep_previous.sh)
set_tests_properties(e2e_keep_previous PROPERTIES
  FIXTURES_REQUIRED "e2e_release;e2e_transfer_release" ENVIRONMENT "${env}" LABELS e2e
  RESOURCE_LOCK wine_machine TIMEOUT 600 SKIP_RETURN_CODE 77)

# The operator's files through /ROLLBACK both ways, the next update, /NOKEEP,
# a cut while the package runs, and kept directories deleted by hand.
add_test(NAME e2e_operator_files COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/operator_files.sh)
set_tests_properties(e2e_operator_files PROPERTIES
  FIXTURES_REQUIRED "e2e_release;e2e_transfer_release" ENVIRONMENT "${env}" LABELS e2e
  RESOURCE_LOCK wine_machine TIMEOUT 600)

# Names the code page cannot hold and paths beyond 260 characters among the
# operator's files: an update, a cut while the package runs, /ROLLBACK.
add_test(NAME e2e_names COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/names.sh)
set_tests_properties(e2e_names PROPERTIES
  FIXTURES_REQUIRED "e2e_release;e2e_transfer_release" ENVIRONMENT "${env}" LABELS e2e
  RESOURCE_LOCK wine_machine TIMEOUT 600)

# Staged updates: /S /STAGE while the control program runs, the switch, a
# changed or foreign stage, cuts while staging.
add_test(NAME e2e_stage COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/stage.sh)
set_tests_properties(e2e_stage PROPERTIES
  FIXTURES_REQUIRED "e2e_release;e2e_transfer_release" ENVIRONMENT "${env}" LABELS e2e
  RESOURCE_LOCK wine_machine TIMEOUT 900)

# A controller's life at random, one seed (TLX_LIFE_SEED picks another).
add_test(NAME e2e_life COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/life.sh)
set_tests_properties(e2e_life PROPERTIES
  FIXTURES_REQUIRED "e2e_release;e2e_transfer_release" ENVIRONMENT "${env}" LABELS e2e
  RESOURCE_LOCK wine_machine TIMEOUT 900)
