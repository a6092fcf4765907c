// Parameter data files are checked before any block is read from them: a file
// whose header or CRC-32 is wrong (or that is missing) is replaced by its
// ".bak" backup when that one is whole. The read of a block is guarded by the
// process-wide parameter file lock.
#pragma once
#include <mutex>
#include <string>
#include <vector>

enum class DataFileCheck {
    whole,    // the data file itself is whole
    restored, // the data file was replaced by its whole backup
    failed,   // neither is usable, or the backup could not be copied
};

// True when the file at path opens, starts with "FFLC" and its stored CRC-32
// equals the CRC-32 of every byte after the 8-byte header.
bool IsDataFileWhole(const std::string& path);

// Why IsDataFileWhole refuses path, in words for a tool's message: empty
// when it is whole; "not found"; "cannot be read"; "is not a parameter data
// file: ..." for a file of another kind (a text file such as an amend or
// format file, or any file that does not start with "FFLC"); "fails its
// CRC-32 check" for a data file whose bytes changed (damaged).
std::string DataFileFault(const std::string& path);
// Whether the fault is of a file of another kind, not a damaged data file.
bool IsOtherKindOfFile(const std::string& fault);

// The check with its outcome. When a whole backup cannot be copied over the
// data file, *problem (when given) is the message for the user
// (AccessDataFileMessage); nothing is shown.
DataFileCheck CheckDataFile(const std::string& path, std::string* problem = nullptr);
// True when the data file is whole or has been replaced by a whole backup.
bool VerifyDataFile(const std::string& path, std::string* problem = nullptr);

// Verifies the data file (under the lock), then reads the named block (under
// the lock again). True with the block's bytes; false with none. When a whole
// backup cannot be copied over the data file, the block is read from the
// backup, and *problem says why the data file was not repaired. A damaged
// block stream writes "|S|ExtractParameters failed, object is '...'" to the
// trace log.
bool ExtractParameters(const std::string& path, const std::string& blockName, std::vector<unsigned char>& bytes,
                       std::string* problem = nullptr);

// The one lock around verifications and block reads of the process.
std::mutex& ParameterFileLock();

// The message for a backup that cannot be copied over the data file.
std::string AccessDataFileMessage(const std::string& path, unsigned long errorCode);
