# Runs "paramtool merge" on a copy of the example files and compares the result.
# -DTOOL=<paramtool> [-DEMULATOR=<runner>] -DDATA=<dir> -DWORK=<scratch dir>
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${DATA}/Mill_amend.dat ${DATA}/amend.dat ${DATA}/tornelix.fmt DESTINATION ${WORK})
execute_process(COMMAND ${EMULATOR} ${TOOL} merge ${WORK}/Mill_amend.dat ${WORK}/amend.dat ${WORK}/tornelix.fmt
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "paramtool merge failed (${rc}): ${out} ${err}")
endif()
file(READ ${WORK}/amend.dat got HEX)
file(READ ${DATA}/expected.dat want HEX)
if(NOT got STREQUAL want)
  file(READ ${WORK}/amend.dat text)
  message(FATAL_ERROR "merged amend.dat differs from expected.dat:\n${text}")
endif()
# A missing format is refused and leaves the target as it was.
execute_process(COMMAND ${EMULATOR} ${TOOL} merge ${WORK}/Mill_amend.dat ${WORK}/amend.dat ${WORK}/none.fmt
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
file(READ ${WORK}/amend.dat again HEX)
if(rc EQUAL 0 OR NOT again STREQUAL want)
  message(FATAL_ERROR "a merge without a format must fail and keep the target")
endif()
message(STATUS "paramtool merge: ok")

# A readable format that declares none of the saved names (another product's)
# would carry nothing and drop the target's own entries: a warning, exit 3,
# and the target as it was.
file(WRITE ${WORK}/other.fmt "field CController {\n  int m_other;\n};\n")
execute_process(COMMAND ${EMULATOR} ${TOOL} merge ${WORK}/Mill_amend.dat ${WORK}/amend.dat ${WORK}/other.fmt
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ ${WORK}/amend.dat again HEX)
if(NOT rc EQUAL 3 OR NOT err MATCHES "warning: [^\n]*other.fmt declares none of the [0-9]+ saved entries"
   OR NOT again STREQUAL want)
  message(FATAL_ERROR "a merge that carries nothing: exit ${rc}: ${err}")
endif()
# A target that does not exist is refused, and made only with --create.
execute_process(COMMAND ${EMULATOR} ${TOOL} merge ${WORK}/Mill_amend.dat ${WORK}/fresh_amend.dat ${WORK}/tornelix.fmt
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "fresh_amend.dat does not exist" OR EXISTS ${WORK}/fresh_amend.dat)
  message(FATAL_ERROR "a merge into a missing target: exit ${rc}: ${err}")
endif()
execute_process(COMMAND ${EMULATOR} ${TOOL} merge ${WORK}/Mill_amend.dat ${WORK}/fresh_amend.dat ${WORK}/tornelix.fmt
                        --create RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${WORK}/fresh_amend.dat)
  message(FATAL_ERROR "merge --create: exit ${rc}: ${err}")
endif()
message(STATUS "paramtool merge: refusals ok")
