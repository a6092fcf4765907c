#include "platform/TempDirectory.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#include <wincrypt.h>

#include "platform/WidePath.h"

std::string SystemTempDirectory()
{
    char buf[MAX_PATH + 1] = {0};
    DWORD n = GetTempPathA(sizeof buf, buf);
    if (n == 0 || n > MAX_PATH)
        return std::string();
    return std::string(buf, n);
}

namespace {
bool RandomBytes(unsigned char* out, DWORD size)
{
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return false;
    bool ok = CryptGenRandom(provider, size, out) != FALSE;
    CryptReleaseContext(provider, 0);
    return ok;
}

long LastError() { return static_cast<long>(GetLastError()); }
bool MakeDirectory(const std::string& path) { return CreateDirectoryW(WidePathOf(path).c_str(), nullptr) != FALSE; }
bool AlreadyExists(long error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS; }
} // namespace

bool RemoveEmptyDirectory(const std::string& path) { return RemoveDirectoryW(WidePathOf(path).c_str()) != FALSE; }
#else
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string SystemTempDirectory()
{
    const char* dir = getenv("TMPDIR");
    std::string s = (dir && *dir) ? dir : "/tmp";
    if (s.back() != '/')
        s += '/';
    return s;
}

namespace {
bool RandomBytes(unsigned char* out, size_t size)
{
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = read(fd, out, size) == static_cast<ssize_t>(size);
    close(fd);
    return ok;
}

long LastError() { return errno; }
bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0700) == 0; }
bool AlreadyExists(long error) { return error == EEXIST; }
} // namespace

bool RemoveEmptyDirectory(const std::string& path) { return rmdir(path.c_str()) == 0; }
#endif

std::string CreateRunDirectory(const std::string& prefix, const std::string& suffix, FileError* error)
{
    const std::string temp = SystemTempDirectory();
    std::string path = temp + prefix + "*" + suffix;
    long os = 0;
    // A name that exists already was not made for this run: draw again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        unsigned char random[8];
        if (!RandomBytes(random, sizeof random)) {
            os = LastError();
            break;
        }
        char hex[17];
        for (int i = 0; i < 8; ++i)
            snprintf(hex + 2 * i, 3, "%02x", random[i]);
        path = temp + prefix + hex + suffix;
        if (MakeDirectory(path))
            return path;
        os = LastError();
        if (!AlreadyExists(os))
            break;
    }
    if (error)
        *error = FileError(FileError::CauseFromOsError(os), os, path);
    return std::string();
}
