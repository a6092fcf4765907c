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
