#include "params/DataFileVerification.h"

#include <cstring>

#include "logs/TraceLog.h"
#include "format/DataBlock.h"
#include "messages/Messages.h"
#include "platform/FileCopy.h"
#include "platform/MessageText.h"

std::mutex& ParameterFileLock()
{
    static std::mutex lock;
    return lock;
}

bool IsDataFileWhole(const std::string& path) { return IsWholeDataFile(path); }

namespace {
const char kOtherKind[] = "is not a parameter data file: ";
} // namespace

std::string DataFileFault(const std::string& path)
{
    if (IsDataFileWhole(path))
        return std::string();
    unsigned char head[512];
    size_t got = 0;
    try {
        CFileChunkSource source(path, 0);
        got = source.Read(head, sizeof head);
    } catch (const FileError& e) {
        return e.m_cause == FileError::fileNotFound || e.m_cause == FileError::badPath ? "not found" : "cannot be read";
    }
    const uint32_t magic = got >= 4 ? static_cast<uint32_t>(head[0] | head[1] << 8 | head[2] << 16 |
                                                            static_cast<uint32_t>(head[3]) << 24)
                                    : 0;
    if (got >= 4 && magic == datafile::kFileMagic)
        return got < datafile::kFileHeaderSize ? "is cut short inside its header (damaged)"
                                               : "fails its CRC-32 check";
    if (got == 0)
        return std::string(kOtherKind) + "it is empty";
    // Text has no NUL byte: an amend listing, a format file, an INI file.
    if (!memchr(head, '\0', got))
        return std::string(kOtherKind) + "it is text (an amend or format file?), not \"FFLC\" data";
    return std::string(kOtherKind) + "it does not start with \"FFLC\"";
}

bool IsOtherKindOfFile(const std::string& fault) { return fault.compare(0, sizeof kOtherKind - 1, kOtherKind) == 0; }

std::string AccessDataFileMessage(const std::string& path, unsigned long errorCode)
{
    return FormatMessageInserts(LocalText(MsgParamFileAccessFailed), path, static_cast<long>(errorCode));
}

DataFileCheck CheckDataFile(const std::string& path, std::string* problem)
{
    if (IsDataFileWhole(path))
        return DataFileCheck::whole;
    std::string backup = path + ".bak";
    if (!IsDataFileWhole(backup))
        return DataFileCheck::failed;
    unsigned long error = 0;
    if (CopyFileOver(backup, path, &error))
        return DataFileCheck::restored;
    if (problem)
        *problem = AccessDataFileMessage(path, error);
    return DataFileCheck::failed;
}

bool VerifyDataFile(const std::string& path, std::string* problem)
{
    return CheckDataFile(path, problem) != DataFileCheck::failed;
}

bool ExtractParameters(const std::string& path, const std::string& blockName, std::vector<unsigned char>& bytes,
                       std::string* problem)
{
    bytes.clear();
    std::string source = path;
    {
        std::lock_guard<std::mutex> guard(ParameterFileLock());
        if (!VerifyDataFile(path, problem)) {
            // A whole backup that could not be copied over the data file (a
            // read-only or locked file; the user has seen why) still holds
            // the values: read them from it, since the wipe that follows
            // deletes both files. Both files damaged: nothing to read.
            std::string backup = path + ".bak";
            if (!IsDataFileWhole(backup))
                return false;
            source = backup;
        }
    }
    std::lock_guard<std::mutex> guard(ParameterFileLock());
    try {
        std::vector<unsigned char> found;
        if (!ReadDataBlock(source, blockName, found))
            return false;
        bytes.swap(found);
        return true;
    } catch (const FileError&) {
        TraceMessage("|S|ExtractParameters failed, object is '%s'\n", blockName.c_str());
        return false;
    }
}
