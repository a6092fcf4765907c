#include "platform/HeldFile.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>

#include "platform/WidePath.h"

namespace {
HANDLE H(void* h) { return static_cast<HANDLE>(h); }
} // namespace

bool HeldFile::IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

bool HeldFile::Create(const std::string& path, FileError* error)
{
    Close();
    // Write access for this handle only; others may read, never write or
    // delete (no FILE_SHARE_WRITE, no FILE_SHARE_DELETE).
    HANDLE h = CreateFileW(WidePathOf(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) {
            long os = static_cast<long>(GetLastError());
            *error = FileError(FileError::CauseFromOsError(os), os, path);
        }
        return false;
    }
    m_handle = h;
    m_path = path;
    m_sealed = false;
    return true;
}

void HeldFile::Write(const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(size > 0x40000000u ? 0x40000000u : size);
        DWORD put = 0;
        if (!WriteFile(H(m_handle), p, chunk, &put, nullptr))
            FileError::ThrowLast(m_path);
        if (put == 0)
            throw FileError(FileError::diskFull, ERROR_DISK_FULL, m_path);
        p += put;
        size -= put;
    }
}

void HeldFile::Seal()
{
    // A program cannot start while a handle with write access is open, and
    // a handle's sharing cannot be changed: a reading handle that lets the
    // writer be (share read and write, never delete) bridges to the final
    // one, which lets others only read. Deletes stay denied throughout; the
    // final open fails if anyone else got write access meanwhile.
    HANDLE bridge = CreateFileW(WidePathOf(m_path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (bridge == INVALID_HANDLE_VALUE)
        FileError::ThrowLast(m_path);
    HANDLE writer = H(m_handle);
    m_handle = bridge;
    if (!CloseHandle(writer))
        FileError::ThrowLast(m_path);
    HANDLE reader = CreateFileW(WidePathOf(m_path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (reader == INVALID_HANDLE_VALUE)
        FileError::ThrowLast(m_path);
    m_handle = reader;
    CloseHandle(bridge);
    m_sealed = true;
}

void HeldFile::Close()
{
    if (IsOpen())
        CloseHandle(H(m_handle));
    m_handle = INVALID_HANDLE_VALUE;
    m_sealed = false;
}

bool HeldFile::Discard()
{
    Close();
    return m_path.empty() || DeleteFileW(WidePathOf(m_path).c_str()) != FALSE;
}
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// POSIX has no sharing modes: the file is made read-only once written.
bool HeldFile::IsOpen() const { return m_fd >= 0; }

bool HeldFile::Create(const std::string& path, FileError* error)
{
    Close();
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = FileError(FileError::CauseFromOsError(errno), errno, path);
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_sealed = false;
    return true;
}

void HeldFile::Write(const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t put = ::write(m_fd, p, size);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            FileError::ThrowLast(m_path);
        }
        p += put;
        size -= static_cast<size_t>(put);
    }
}

void HeldFile::Seal()
{
    if (fchmod(m_fd, 0500) != 0)
        FileError::ThrowLast(m_path);
    int reader = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (reader < 0)
        FileError::ThrowLast(m_path);
    ::close(m_fd);
    m_fd = reader;
    m_sealed = true;
}

void HeldFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_sealed = false;
}

bool HeldFile::Discard()
{
    Close();
    return m_path.empty() || unlink(m_path.c_str()) == 0;
}
#endif

HeldFile::~HeldFile() { Close(); }
