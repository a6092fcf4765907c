# Fault cases: the setup under a held file, missing or full drives, damaged
# setup, format and amend files. Included by CMakeLists.txt of this directory
# (uses its ${env}); they install the transfer fixture's release.
foreach(case held_open readonly_dat no_d_drive disk_full truncated_setup)
  add_test(NAME e2e_faults_${case} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/faults_${case}.sh)
  set_tests_properties(e2e_faults_${case} PROPERTIES
    FIXTURES_REQUIRED "e2e_release;e2e_transfer_release" ENVIRONMENT "${env}" LABELS e2e
    RESOURCE_LOCK wine_machine TIMEOUT 240 SKIP_RETURN_CODE 77)
endforeach()
