#include "platform/FileCopy.h"

#ifdef _WIN32
#include <windows.h>
#include <setupapi.h>

#include "platform/WidePath.h"
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool CopyFileOver(const std::string& from, const std::string& to, unsigned long* error)
{
#ifdef _WIN32
    DWORD attributes = GetFileAttributesW(WidePathOf(to).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (CopyFileW(WidePathOf(from).c_str(), WidePathOf(to).c_str(), FALSE))
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

bool RemoveFile(const std::string& path)
{
#ifdef _WIN32
    std::wstring wide = WidePathOf(path);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(wide.c_str()) != 0;
#else
    return ::unlink(path.c_str()) == 0;
#endif
}

bool DeleteUnprotectedFile(const std::string& path)
{
#ifdef _WIN32
    return DeleteFileW(WidePathOf(path).c_str()) != 0;
#else
    return ::unlink(path.c_str()) == 0;
#endif
}

#ifdef _WIN32
bool CopyFileTo(const std::string& from, const std::string& to, bool overwrite)
{
    return CopyFileW(WidePathOf(from).c_str(), WidePathOf(to).c_str(), overwrite ? FALSE : TRUE) != 0;
}

bool InstallFileCopy(const std::string& from, const std::string& to)
{
    return SetupInstallFileA(nullptr, nullptr, from.c_str(), nullptr, to.c_str(), SP_COPY_SOURCE_ABSOLUTE, nullptr,
                             nullptr) != FALSE;
}
#endif

bool MovePath(const std::string& from, const std::string& to, bool allowCopy)
{
#ifdef _WIN32
    DWORD flags = MOVEFILE_WRITE_THROUGH | (allowCopy ? MOVEFILE_COPY_ALLOWED : 0);
    return MoveFileExW(WidePathOf(from).c_str(), WidePathOf(to).c_str(), flags) != 0;
#else
    (void)allowCopy;
    return rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool AppendDurably(const std::string& path, const std::string& text)
{
#ifdef _WIN32
    HANDLE h = CreateFileW(WidePathOf(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER zero = {}, end = {};
    bool ok = SetFilePointerEx(h, zero, &end, FILE_END) != FALSE;
    DWORD written = 0;
    ok = ok && WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size() && FlushFileBuffers(h);
    if (!ok) {
        // A part written on a full disk would run into the next record.
        SetFilePointerEx(h, end, nullptr, FILE_BEGIN);
        SetEndOfFile(h);
        FlushFileBuffers(h);
    }
    CloseHandle(h);
    return ok;
#else
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    off_t end = ::lseek(fd, 0, SEEK_END);
    bool ok = end >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
              ::fsync(fd) == 0;
    if (!ok && end >= 0)
        (void)!::ftruncate(fd, end); // a part written on a full disk would run into the next record
    ok = ::close(fd) == 0 && ok;
    return ok;
#endif
}

bool ReplaceFileAtomically(const std::string& from, const std::string& to)
{
#ifdef _WIN32
    return MoveFileExW(WidePathOf(from).c_str(), WidePathOf(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return rename(from.c_str(), to.c_str()) == 0;
#endif
}
