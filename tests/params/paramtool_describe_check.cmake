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

# A damaged file with a whole backup: verify restores it (and says so), the
# listing is then the same.
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

# Both damaged; a missing block; a format that does not describe the block.
run(1 ${TOOL} verify ${WORK}/broken/tornelix.dat)
run(1 ${TOOL} describe ${WORK}/broken/tornelix.dat ${DATA}/tornelix.fmt)
if(NOT err MATCHES "damaged or missing and has no usable backup")
  message(FATAL_ERROR "describe of a damaged file: ${err}")
endif()
run(1 ${TOOL} describe ${WORK}/tornelix.dat ${DATA}/tornelix.fmt -b CControllerX)
if(NOT err MATCHES "no readable block 'CControllerX'")
  message(FATAL_ERROR "describe of a missing block: ${err}")
endif()
run(1 ${TOOL} describe ${WORK}/tornelix.dat ${DATA}/tornelix.fmt -b CController2)
if(NOT err MATCHES "format of data block\\(CController2\\) not found")
  message(FATAL_ERROR "describe of a block the format lacks: ${err}")
endif()
run(2 ${TOOL} describe ${WORK}/tornelix.dat)
message(STATUS "paramtool describe, verify, blocks: ok")
