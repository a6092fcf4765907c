#include "params/DataFileVerification.h"

#include <cstring>

#include <zlib.h>

#include "app/TraceLog.h"
#include "format/DataBlock.h"
#include "app/Messages.h"
#include "platform/File.h"
#include "platform/MessageBox.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
const size_t kPiece = 4096;

// Copies the backup over the data file; on failure returns false with the
// operating system's error code.
bool CopyOver(const std::string& from, const std::string& to, unsigned long* error)
{
    // A read-only data file is never overwritten, even where the file system
    // would let this process do it (an administrator under a compatibility
    // layer, root natively): the machine's owner made it read-only.
#ifdef _WIN32
    DWORD attributes = GetFileAttributesA(to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (CopyFileA(from.c_str(), to.c_str(), FALSE))
        return true;
    *error = GetLastError();
    return false;
#else
    struct stat st;
    if (::stat(to.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
        *error = EACCES;
        return false;
    }
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *error = static_cast<unsigned long>(errno);
        return false;
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        *error = static_cast<unsigned long>(errno);
        ::close(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                ok = false;
                break;
            }
            done += put;
        }
        if (!ok)
            break;
    }
    if (!ok)
        *error = static_cast<unsigned long>(errno);
    ::close(in);
    if (::close(out) != 0 && ok) {
        *error = static_cast<unsigned long>(errno);
        ok = false;
    }
    return ok;
#endif
}
} // namespace

std::mutex& ParameterFileLock()
{
    static std::mutex lock;
    return lock;
}

bool IsDataFileWhole(const std::string& path)
{
    try {
        BinaryFile file;
        if (!file.Open(path, BinaryFile::modeRead | BinaryFile::shareDenyWrite))
            return false;
        unsigned char header[datafile::kFileHeaderSize];
        if (file.Read(header, sizeof header) != sizeof header || memcmp(header, "FFLC", 4) != 0)
            return false;
        uint32_t stored = static_cast<uint32_t>(header[4]) | static_cast<uint32_t>(header[5]) << 8 |
                          static_cast<uint32_t>(header[6]) << 16 | static_cast<uint32_t>(header[7]) << 24;
        uLong crc = crc32(0L, Z_NULL, 0);
        unsigned char piece[kPiece];
        for (;;) {
            size_t got = file.Read(piece, sizeof piece);
            if (got == 0)
                break;
            crc = crc32(crc, piece, static_cast<uInt>(got));
        }
        return static_cast<uint32_t>(crc) == stored;
    } catch (const FileError&) {
        return false;
    }
}

std::string AccessDataFileMessage(const std::string& path, unsigned long errorCode)
{
    const char* pattern = LocalText(MsgParamFileAccessFailed);
#ifdef _WIN32
    DWORD_PTR inserts[2] = {reinterpret_cast<DWORD_PTR>(path.c_str()), static_cast<DWORD_PTR>(errorCode)};
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                             pattern, 0, 0, reinterpret_cast<LPSTR>(&text), 0,
                             reinterpret_cast<va_list*>(inserts));
    if (n && text) {
        std::string message(text, n);
        LocalFree(text);
        return message;
    }
#endif
    // The same inserts without the system's formatter.
    std::string message = pattern;
    size_t at = message.find("%1!s!");
    if (at != std::string::npos)
        message.replace(at, 5, path);
    at = message.find("%2!d!", at == std::string::npos ? 0 : at + path.size());
    if (at != std::string::npos)
        message.replace(at, 5, std::to_string(static_cast<long>(errorCode)));
    return message;
}

DataFileCheck CheckDataFile(const std::string& path)
{
    if (IsDataFileWhole(path))
        return DataFileCheck::whole;
    std::string backup = path + ".bak";
    if (!IsDataFileWhole(backup))
        return DataFileCheck::failed;
    unsigned long error = 0;
    if (CopyOver(backup, path, &error))
        return DataFileCheck::restored;
    ShowMessageBox(AccessDataFileMessage(path, error), MB_OK);
    return DataFileCheck::failed;
}

bool VerifyDataFile(const std::string& path) { return CheckDataFile(path) != DataFileCheck::failed; }

bool ExtractParameters(const std::string& path, const std::string& blockName, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    std::string source = path;
    {
        std::lock_guard<std::mutex> guard(ParameterFileLock());
        if (!VerifyDataFile(path)) {
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
