#include "params/DataFileVerification.h"

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
