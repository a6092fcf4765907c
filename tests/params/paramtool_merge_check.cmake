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
# What it carried and dropped, and each new member, as carry says it (GBK
# through a pipe).
file(WRITE ${WORK}/said.gbk "${out}")
execute_process(COMMAND iconv -f GBK -t UTF-8 ${WORK}/said.gbk OUTPUT_VARIABLE said RESULT_VARIABLE iconv_rc)
string(REPLACE "\r" "" said "${said}")
if(NOT said MATCHES "配置[^\n]*：迁移2个值，丢弃2个值，新成员2个\n  丢弃（新版本没有此成员）：m_b\\[4\\] = 4\n  丢弃（新版本没有此成员）：m_gone = 3\n  新成员（保留新版本的默认值）：m_b\\[0\\] = 0\n  新成员（保留新版本的默认值）：m_added = 5\nmerged ")
  message(FATAL_ERROR "merge does not say what it carried, dropped and added:\n${said}")
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
# An empty SAVED is no amend text: refused, the target as it was; a format
# that does not parse says so.
file(WRITE ${WORK}/empty.dat "")
file(READ ${WORK}/fresh_amend.dat fresh HEX)
execute_process(COMMAND ${EMULATOR} ${TOOL} merge ${WORK}/empty.dat ${WORK}/fresh_amend.dat ${WORK}/tornelix.fmt
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ ${WORK}/fresh_amend.dat again HEX)
if(NOT rc EQUAL 1 OR NOT err MATCHES "empty.dat is not an amend text file" OR out MATCHES "merged"
   OR NOT again STREQUAL fresh)
  message(FATAL_ERROR "a merge of an empty file: exit ${rc}: ${out} ${err}")
endif()
file(WRITE ${WORK}/unparsable.fmt "field CController {\n  int m_a\n  (((\n")
execute_process(COMMAND ${EMULATOR} ${TOOL} merge ${WORK}/Mill_amend.dat ${WORK}/fresh_amend.dat ${WORK}/unparsable.fmt
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "unparsable.fmt does not parse" OR err MATCHES "declares none")
  message(FATAL_ERROR "a merge with a format that does not parse: exit ${rc}: ${err}")
endif()
# A binary TARGET (a data file given by mistake) is refused and left byte for byte: the
# merge would have replaced it with a listing.
# (the tool's own program file: binary, with NUL bytes)
configure_file(${TOOL} ${WORK}/binary.dat COPYONLY)
file(READ ${WORK}/binary.dat before HEX)
execute_process(COMMAND ${EMULATOR} ${TOOL} merge ${WORK}/Mill_amend.dat ${WORK}/binary.dat ${WORK}/tornelix.fmt
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(READ ${WORK}/binary.dat after HEX)
if(NOT rc EQUAL 1 OR NOT err MATCHES "binary.dat is not an amend text file" OR out MATCHES "merged"
   OR NOT after STREQUAL before)
  message(FATAL_ERROR "a merge into a binary target: exit ${rc}: ${out} ${err}")
endif()
# A binary file given as FORMAT: its trace line once, then the cause.
file(COPY ${WORK}/binary.dat DESTINATION ${WORK}/asformat)
execute_process(COMMAND ${EMULATOR} ${TOOL} merge ${WORK}/Mill_amend.dat ${WORK}/fresh_amend.dat
                        ${WORK}/asformat/binary.dat RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
string(REGEX MATCHALL "\\|E\\|" traces "${err}")
list(LENGTH traces count)
if(NOT rc EQUAL 1 OR NOT count EQUAL 1 OR NOT err MATCHES "binary.dat does not parse")
  message(FATAL_ERROR "a data file as FORMAT: exit ${rc}, ${count} trace lines: ${err}")
endif()
message(STATUS "paramtool merge: refusals ok")
