#include "platform/Paths.h"

#include <ctime>

#include "platform/LocalTime.h"

#ifdef _WIN32
#include <cstring>
#include <windows.h>
#include <shlwapi.h>

std::string JoinPath(const std::string& dir, const std::string& more)
{
    char out[MAX_PATH] = {0};
    if (!PathCombineA(out, dir.c_str(), more.c_str()))
        return std::string();
    return out;
}

std::string FullPathName(const std::string& path)
{
    char out[MAX_PATH] = {0};
    DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, out, nullptr);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return out;
}

char PathSeparator() { return '\\'; }

bool PathExists(const std::string& path) { return PathFileExistsA(path.c_str()) != FALSE; }

bool IsDirectory(const std::string& path) { return PathIsDirectoryA(path.c_str()) != FALSE; }

std::string LongPathOf(const std::string& path)
{
    char out[MAX_PATH] = {0};
    DWORD n = GetLongPathNameA(path.c_str(), out, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return out;
}

namespace {
// The position of the last backslash of path that is not the trail byte of a
// double-byte character, and whether a part after it holds a '~' that is
// not one either.
size_t LastSeparator(const std::string& path, bool* tildeAfter)
{
    size_t last = std::string::npos;
    *tildeAfter = false;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsDBCSLeadByte(c) && i + 1 < path.size()) {
            ++i;
        } else if (c == '\\') {
            last = i;
            *tildeAfter = false;
        } else if (c == '~') {
            *tildeAfter = true;
        }
    }
    return last;
}
} // namespace

std::string LongFullPathOf(const std::string& path)
{
    std::string head = WithoutTrailingBackslash(FullPathName(path));
    if (head.empty())
        return std::string();
    std::string tail;
    for (;;) {
        std::string root = head.size() == 2 && head[1] == ':' ? head + "\\" : head;
        std::string longHead = LongPathOf(root);
        if (!longHead.empty()) {
            std::string out = WithoutTrailingBackslash(longHead);
            if (!out.empty() && out.back() == '\\')
                out.pop_back(); // a drive root: the tail brings its backslash
            out += tail;
            if (out.size() == 2)
                out += '\\';
            return out.size() < MAX_PATH ? out : std::string();
        }
        bool tilde = false;
        size_t cut = LastSeparator(head, &tilde);
        if (cut == std::string::npos || cut + 1 >= head.size() || tilde)
            return std::string();
        tail = head.substr(cut) + tail;
        head = head.substr(0, cut);
        if (head.empty() || head == "\\")
            return std::string(); // a share that does not answer
    }
}

std::string FinalDirectoryPathOf(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    // Absent before Vista: then only the long form is compared.
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32");
    auto finalPath = kernel ? reinterpret_cast<FinalPathFn>(
                                  reinterpret_cast<void*>(GetProcAddress(kernel, "GetFinalPathNameByHandleA")))
                            : nullptr;
    char buf[MAX_PATH + 8] = {0};
    DWORD n = finalPath ? finalPath(h, buf, sizeof buf, 0 /* normalized, DOS volume name */) : 0;
    CloseHandle(h);
    if (n == 0 || n >= sizeof buf)
        return std::string();
    std::string out = buf;
    if (out.compare(0, 8, "\\\\?\\UNC\\") == 0)
        out = "\\" + out.substr(7);
    else if (out.compare(0, 4, "\\\\?\\") == 0)
        out = out.substr(4);
    return out.size() < MAX_PATH ? out : std::string();
}

std::string WithoutTrailingBackslash(const std::string& path)
{
    std::string out = path;
    while (out.size() > 3 && out.back() == '\\')
        out.pop_back();
    return out;
}

void ClearAttributes(const std::string& path) { SetFileAttributesA(path.c_str(), 0); }

bool MakeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) || IsDirectory(path); }

bool MakeNewDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

PathKind KindOfPath(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::missing;
    return KindOfAttributes(attributes);
}

bool LastWriteTimeOf(const std::string& path, unsigned long long* when)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    *when = (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

void HideFile(const std::string& path) { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN); }

std::string WithBackslash(const std::string& path)
{
    char buf[MAX_PATH] = {0};
    if (path.size() >= MAX_PATH - 1)
        return path;
    memcpy(buf, path.c_str(), path.size() + 1);
    PathAddBackslashA(buf);
    return buf;
}

std::string WithoutOneBackslash(const std::string& path)
{
    char buf[MAX_PATH] = {0};
    strncpy(buf, path.c_str(), MAX_PATH - 1);
    PathRemoveBackslashA(buf);
    return buf;
}

std::string ShortPathOf(const std::string& path)
{
    char out[MAX_PATH] = {0};
    DWORD n = GetShortPathNameA(path.c_str(), out, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 1)
        return std::string();
    return out;
}

bool FileSizeOf(const std::string& path, unsigned long long* size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.size() >= MAX_PATH || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    *size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}
#else
#include <sys/stat.h>
#include <climits>
#include <cstdlib>

std::string JoinPath(const std::string& dir, const std::string& more)
{
    std::string out = dir;
    if (!out.empty() && out.back() != '/' && out.back() != '\\')
        out.push_back('/');
    out += more;
    if (out.size() >= 260)
        return std::string();
    return out;
}

std::string FullPathName(const std::string& path)
{
    char out[PATH_MAX] = {0};
    if (!realpath(path.c_str(), out))
        return std::string();
    std::string full = out;
    return full.size() < 260 ? full : std::string();
}

char PathSeparator() { return '/'; }

bool PathExists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string LongPathOf(const std::string& path) { return PathExists(path) ? path : std::string(); }

std::string LongFullPathOf(const std::string& path) { return path; }

std::string FinalDirectoryPathOf(const std::string& path) { return IsDirectory(path) ? FullPathName(path) : std::string(); }

std::string WithoutTrailingBackslash(const std::string& path)
{
    std::string out = path;
    while (out.size() > 1 && (out.back() == '/' || out.back() == '\\'))
        out.pop_back();
    return out;
}

void ClearAttributes(const std::string&) {}

bool MakeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0 || IsDirectory(path); }

bool MakeNewDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0; }

PathKind KindOfPath(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return PathKind::missing;
    if (S_ISLNK(st.st_mode))
        return PathKind::link;
    return S_ISDIR(st.st_mode) ? PathKind::directory : PathKind::file;
}

bool LastWriteTimeOf(const std::string& path, unsigned long long* when)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    *when = (static_cast<unsigned long long>(st.st_mtime) + 11644473600ull) * 10000000ull;
    return true;
}

void HideFile(const std::string&) {}
#endif

PathKind KindOfAttributes(unsigned long attributes)
{
    if (attributes & 0x400) // FILE_ATTRIBUTE_REPARSE_POINT
        return PathKind::link;
    return (attributes & 0x10) ? PathKind::directory : PathKind::file;
}

std::string LocalStampOfFileTime(unsigned long long when)
{
    const unsigned long long kUnixEpoch = 11644473600ull * 10000000ull;
    time_t seconds = when > kUnixEpoch ? static_cast<time_t>((when - kUnixEpoch) / 10000000ull) : 0;
    struct tm local = {};
    if (!LocalTimeOf(seconds, &local))
        return "00000000-000000";
    char text[32];
    strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

std::string ParentOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }
