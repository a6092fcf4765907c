# Runs paramtool describe/verify/blocks on the files describe_sample writes and
# compares with the expected listing and block list of data/describe.
# -DTOOL=<paramtool> -DSAMPLE=<describe_sample> [-DEMULATOR=<runner>] -DDATA=<dir> -DWORK=<scratch dir>
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run expect_rc)
  execute_process(COMMAND ${EMULATOR} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL expect_rc)
    message(FATAL_ERROR "${ARGN}: exit ${rc}, expected ${expect_rc}\nstdout: ${out}\nstderr: ${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(same_file got want what)
  file(READ ${got} g HEX)
  file(READ ${want} w HEX)
  if(NOT g STREQUAL w)
    file(READ ${got} text)
    message(FATAL_ERROR "${what} differs from ${want}:\n${text}")
  endif()
endfunction()

run(0 ${SAMPLE} ${WORK} ${DATA}/tornelix.fmt)

# The listing, to a file and to stdout.
run(0 ${TOOL} describe ${WORK}/tornelix.dat ${DATA}/tornelix.fmt -o ${WORK}/listing.dat)
same_file(${WORK}/listing.dat ${DATA}/expected.lst "listing")
# Bytes as written: OUTPUT_VARIABLE would fold the CR LF pairs.
execute_process(COMMAND ${EMULATOR} ${TOOL} describe ${WORK}/tornelix.dat ${DATA}/tornelix.fmt
                RESULT_VARIABLE rc OUTPUT_FILE ${WORK}/stdout.dat ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "describe to stdout: exit ${rc}: ${err}")
endif()
same_file(${WORK}/stdout.dat ${DATA}/expected.lst "listing on stdout")
string(FIND "${err}" "|E|Print format \"%s\" of m_bad refused" refused)
if(refused EQUAL -1)
  message(FATAL_ERROR "the refused print format is not reported: ${err}")
endif()

# The record list.
run(0 ${TOOL} blocks ${WORK}/tornelix.dat)
file(WRITE ${WORK}/blocks.txt "${out}")
same_file(${WORK}/blocks.txt ${DATA}/expected.blocks "block list")

# describe only reads: a damaged file with a whole backup is refused and left
# byte for byte; --backup lists the backup and says it did; verify then
# restores (and says so), and the listing is the same.
file(READ ${WORK}/damaged/tornelix.dat damaged HEX)
run(1 ${TOOL} describe ${WORK}/damaged/tornelix.dat ${DATA}/tornelix.fmt)
if(NOT err MATCHES "tornelix.dat fails its CRC-32 check \\(--backup reads")
  message(FATAL_ERROR "describe of a damaged file: ${err}")
endif()
run(0 ${TOOL} describe ${WORK}/damaged/tornelix.dat ${DATA}/tornelix.fmt --backup -o ${WORK}/damaged/listing.dat)
if(NOT err MATCHES "read [^\n]*tornelix.dat.bak")
  message(FATAL_ERROR "describe --backup does not say that it read the backup: ${err}")
endif()
same_file(${WORK}/damaged/listing.dat ${DATA}/expected.lst "listing of the backup")
file(READ ${WORK}/damaged/tornelix.dat after HEX)
if(NOT after STREQUAL damaged)
  message(FATAL_ERROR "describe changed the damaged data file")
endif()
run(0 ${TOOL} verify ${WORK}/damaged/tornelix.dat)
if(NOT out MATCHES "restored from .*tornelix.dat.bak")
  message(FATAL_ERROR "verify of a damaged file with a whole backup: ${out}")
endif()
same_file(${WORK}/damaged/tornelix.dat ${WORK}/damaged/tornelix.dat.bak "restored data file")
run(0 ${TOOL} verify ${WORK}/damaged/tornelix.dat)
if(NOT out MATCHES ": whole")
  message(FATAL_ERROR "verify after the restore: ${out}")
endif()
run(0 ${TOOL} describe ${WORK}/damaged/tornelix.dat ${DATA}/tornelix.fmt -o ${WORK}/damaged/listing.dat)
same_file(${WORK}/damaged/listing.dat ${DATA}/expected.lst "listing of the restored file")

# Each failure names its own cause in paramtool's one line.
run(1 ${TOOL} describe ${WORK}/tornelix.dat ${WORK}/none.fmt)
if(NOT err MATCHES "^paramtool: format file [^\n]*none.fmt not found\n$")
  message(FATAL_ERROR "describe with a missing format: ${err}")
endif()
run(1 ${TOOL} describe ${WORK}/tornelix.dat ${DATA}/tornelix.fmt -o ${WORK}/no-such-dir/listing.dat)
if(NOT err MATCHES "^paramtool: cannot write the listing to [^\n]*listing.dat[^\n]*\n$")
  message(FATAL_ERROR "describe to an unwritable listing: ${err}")
endif()
run(1 ${TOOL} describe ${WORK}/none.dat ${DATA}/tornelix.fmt)
if(NOT err MATCHES "^paramtool: data file [^\n]*none.dat not found\n$")
  message(FATAL_ERROR "describe of a missing data file: ${err}")
endif()

# Both damaged; a missing block; a format that does not describe the block.
run(1 ${TOOL} verify ${WORK}/broken/tornelix.dat)
run(1 ${TOOL} describe ${WORK}/broken/tornelix.dat ${DATA}/tornelix.fmt --backup)
if(NOT err MATCHES "fails its CRC-32 check and has no usable backup")
  message(FATAL_ERROR "describe of a damaged file: ${err}")
endif()
run(1 ${TOOL} describe ${WORK}/tornelix.dat ${DATA}/tornelix.fmt -b CControllerX)
if(NOT err MATCHES "no readable block 'CControllerX'")
  message(FATAL_ERROR "describe of a missing block: ${err}")
endif()
run(1 ${TOOL} describe ${WORK}/tornelix.dat ${DATA}/tornelix.fmt -b CController2)
if(NOT err MATCHES "format of data block\\(CController2\\) not found.*block 'CController2' of [^\n]* does not match")
  message(FATAL_ERROR "describe of a block the format lacks: ${err}")
endif()
run(2 ${TOOL} describe ${WORK}/tornelix.dat)

# The other commands name the cause too: a missing file is "not found" (not a
# failed check), a format that does not parse says so (not that it declares
# nothing).
file(WRITE ${WORK}/unparsable.fmt "field CController {\n  int m_a\n  (((\n")
file(WRITE ${WORK}/amend.dat "[CController]\r\nm_nBegin = 1\r\n")
foreach(case "blocks|${WORK}/none.dat|data file [^\n]*none.dat not found"
             "verify|${WORK}/none.dat|data file [^\n]*none.dat not found"
             "carry|${WORK}/none.dat|${DATA}/tornelix.fmt|${DATA}/tornelix.fmt|${WORK}/amend.dat|[^\n]*none.dat not found"
             "carry|${WORK}/tornelix.dat|${WORK}/none.fmt|${DATA}/tornelix.fmt|${WORK}/amend.dat|format file [^\n]*none.fmt not found"
             "carry|${WORK}/tornelix.dat|${WORK}/unparsable.fmt|${DATA}/tornelix.fmt|${WORK}/amend.dat|format file [^\n]*unparsable.fmt does not parse"
             "carry|${WORK}/tornelix.dat|${DATA}/tornelix.fmt|${WORK}/unparsable.fmt|${WORK}/amend.dat|format file [^\n]*unparsable.fmt does not parse")
  string(REPLACE "|" ";" words "${case}")
  list(POP_BACK words cause)
  run(1 ${TOOL} ${words})
  if(NOT err MATCHES "paramtool: ${cause}" OR err MATCHES "fails its|cannot be listed|declares none")
    message(FATAL_ERROR "paramtool ${words}: the cause is not named: ${err}")
  endif()
endforeach()

# merge refuses a data file as SAVED (binary, not an amend text) and leaves
# the target as it was.
file(WRITE ${WORK}/target.dat "[CController]\r\nm_a = 1\r\n")
file(READ ${WORK}/target.dat before HEX)
run(1 ${TOOL} merge ${WORK}/tornelix.dat ${WORK}/target.dat ${DATA}/tornelix.fmt)
file(READ ${WORK}/target.dat after HEX)
if(NOT err MATCHES "tornelix.dat is not an amend text file" OR NOT after STREQUAL before)
  message(FATAL_ERROR "merge of a data file: ${err}\ntarget: ${after}")
endif()
# A file of another kind is said to be one, not a damaged data file: an
# amend listing as DATA to describe, verify and carry, a format file to
# blocks (whose text read as chunks gave "a compressed chunk is too long").
# verify leaves it as it was, even beside a whole backup.
file(WRITE ${WORK}/kinds/Mill/amend.dat "[CController]\r\nm_a = 1\r\n")
file(COPY ${WORK}/tornelix.dat DESTINATION ${WORK}/kinds)
file(RENAME ${WORK}/kinds/tornelix.dat ${WORK}/kinds/Mill/amend.dat.bak)
file(READ ${WORK}/kinds/Mill/amend.dat text HEX)
foreach(case "describe|${WORK}/kinds/Mill/amend.dat|${DATA}/tornelix.fmt|amend.dat is not a parameter data file: it is text"
             "describe|${WORK}/kinds/Mill/amend.dat|${DATA}/tornelix.fmt|--backup|amend.dat is not a parameter data file: it is text"
             "verify|${WORK}/kinds/Mill/amend.dat|amend.dat is not a parameter data file: it is text"
             "blocks|${DATA}/tornelix.fmt|tornelix.fmt is not a parameter data file: it is text"
             "carry|${WORK}/kinds/Mill/amend.dat|${DATA}/tornelix.fmt|${DATA}/tornelix.fmt|${WORK}/kinds/Mill/amend.dat|amend.dat is not a parameter data file")
  string(REPLACE "|" ";" words "${case}")
  list(POP_BACK words cause)
  run(1 ${TOOL} ${words})
  if(NOT err MATCHES "paramtool: [^\n]*${cause}" OR err MATCHES "CRC-32|too long|backup")
    message(FATAL_ERROR "paramtool ${words}: the kind of file is not named: ${err}")
  endif()
endforeach()
file(READ ${WORK}/kinds/Mill/amend.dat after HEX)
if(NOT after STREQUAL text)
  message(FATAL_ERROR "verify put a backup over a file of another kind")
endif()

# carry's NEWAMEND is what the merge writes into: a binary file (a data
# file) and a missing one are refused, not reported on as if they were empty.
file(WRITE ${WORK}/new/amend.dat "[CController]\r\nm_nBegin = 1\r\n")
run(0 ${TOOL} carry ${WORK}/tornelix.dat ${DATA}/tornelix.fmt ${DATA}/tornelix.fmt ${WORK}/new/amend.dat)
foreach(case "${WORK}/tornelix.dat|tornelix.dat is not an amend text file"
             "${WORK}/new/none.dat|amend file [^\n]*none.dat not found")
  string(REPLACE "|" ";" words "${case}")
  list(POP_BACK words cause)
  run(1 ${TOOL} carry ${WORK}/tornelix.dat ${DATA}/tornelix.fmt ${DATA}/tornelix.fmt ${words})
  if(NOT err MATCHES "paramtool: [^\n]*${cause}" OR NOT out STREQUAL "")
    message(FATAL_ERROR "carry with NEWAMEND ${words}: ${out}${err}")
  endif()
endforeach()
message(STATUS "paramtool describe, verify, blocks: ok")
