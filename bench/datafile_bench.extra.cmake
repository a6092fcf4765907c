# The data-file writer of the tests builds the benchmark's data files.
target_sources(${name} PRIVATE ${TLX_ROOT}/tests/support/DataFileWriter.cpp)
