#include "platform/Paths.h"

#include <ctime>

#include "platform/LocalTime.h"

#ifdef _WIN32
#include <cstring>
#include <functional>
#include <windows.h>
#include <shlwapi.h>

#include "platform/WidePath.h"

namespace {
// The longest path the wide calls take, "\\?\" and the terminator left out.
const size_t kLongPathLimit = 32767 - 5;

bool FitsLongPath(const std::string& path) { return WidePathOf(path).size() <= kLongPathLimit; }

// True when path ends in a backslash that is not the trail byte of a
// double-byte character.
bool EndsWithSeparator(const std::string& path)
{
    bool separator = false;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
            separator = false;
        } else {
            separator = path[i] == '\\';
        }
    }
    return separator;
}

bool IsDriveLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// PathCombineA's join where its 260-byte buffer is too small: an absolute
// more replaces dir, "\\x" goes on dir's drive, "." and ".." are resolved
// (".." stops at the root); double-byte characters are kept whole.
std::string LongJoin(const std::string& dir, const std::string& more)
{
    std::string joined;
    if (more.size() >= 2 && ((IsDriveLetter(more[0]) && more[1] == ':') || (more[0] == '\\' && more[1] == '\\')))
        joined = more;
    else if (!more.empty() && more[0] == '\\')
        joined = (dir.size() >= 2 && dir[1] == ':' ? dir.substr(0, 2) : std::string()) + more;
    else if (more.empty())
        joined = dir;
    else
        joined = dir + (dir.empty() || EndsWithSeparator(dir) ? "" : "\\") + more;
    size_t root = joined.size() >= 3 && joined[1] == ':' && joined[2] == '\\' ? 3 : 0;
    std::string out = joined.substr(0, root);
    std::string part;
    auto take = [&](bool last) {
        if (part == "..") {
            if (out.size() > root) {
                out.pop_back();
                size_t cut = root;
                for (size_t i = root; i < out.size(); ++i) {
                    if (IsDBCSLeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size())
                        ++i;
                    else if (out[i] == '\\')
                        cut = i + 1;
                }
                out.erase(cut);
            }
        } else if (part != ".") {
            out += part;
            if (!last)
                out += '\\';
        }
        part.clear();
    };
    for (size_t i = root; i < joined.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<unsigned char>(joined[i])) && i + 1 < joined.size()) {
            part.append(joined, i, 2);
            ++i;
        } else if (joined[i] == '\\') {
            take(false);
        } else {
            part.push_back(joined[i]);
        }
    }
    take(true);
    return FitsLongPath(out) ? out : std::string();
}

// A wide call's answer that needs a buffer of its own size.
std::string WideAnswer(const std::function<DWORD(wchar_t*, DWORD)>& call)
{
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD n = call(&buffer[0], static_cast<DWORD>(buffer.size()));
    if (n >= buffer.size()) {
        buffer.assign(n + 1, L'\0');
        n = call(&buffer[0], static_cast<DWORD>(buffer.size()));
    }
    if (n == 0 || n >= buffer.size())
        return std::string();
    buffer.resize(n);
    return NarrowNameOf(buffer);
}
} // namespace

std::string JoinPath(const std::string& dir, const std::string& more)
{
    if (dir.size() + more.size() + 1 >= MAX_PATH)
        return LongJoin(dir, more);
    char out[MAX_PATH] = {0};
    if (!PathCombineA(out, dir.c_str(), more.c_str()))
        return std::string();
    return out;
}

std::string FullPathName(const std::string& path)
{
    std::wstring wide = WidePathOf(path);
    return WideAnswer([&](wchar_t* out, DWORD size) { return GetFullPathNameW(wide.c_str(), size, out, nullptr); });
}

char PathSeparator() { return '\\'; }

bool PathExists(const std::string& path) { return GetFileAttributesW(WidePathOf(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path)
{
    DWORD attributes = GetFileAttributesW(WidePathOf(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string LongPathOf(const std::string& path)
{
    std::wstring wide = WidePathOf(path);
    return WideAnswer([&](wchar_t* out, DWORD size) { return GetLongPathNameW(wide.c_str(), out, size); });
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
            return out;
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
    HANDLE h = CreateFileW(WidePathOf(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::string();
    // Absent before Vista: then only the long form is compared.
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32");
    auto finalPath = kernel ? reinterpret_cast<FinalPathFn>(
                                  reinterpret_cast<void*>(GetProcAddress(kernel, "GetFinalPathNameByHandleW")))
                            : nullptr;
    std::string out = finalPath ? WideAnswer([&](wchar_t* buf, DWORD size) {
        return finalPath(h, buf, size, 0 /* normalized, DOS volume name */);
    })
                                : std::string();
    CloseHandle(h);
    return out; // "\\?\" dropped, "\\?\UNC\" read as "\\"
}

std::string WithoutTrailingBackslash(const std::string& path)
{
    std::string out = path;
    while (out.size() > 3 && EndsWithSeparator(out))
        out.pop_back();
    return out;
}

std::string ParentOf(const std::string& path)
{
    // A backslash that is a trail byte separates nothing.
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size())
            ++i;
        else if (path[i] == '\\')
            last = i;
    }
    return path.substr(0, last);
}

void ClearAttributes(const std::string& path) { SetFileAttributesW(WidePathOf(path).c_str(), 0); }

bool MakeDirectory(const std::string& path)
{
    return CreateDirectoryW(WidePathOf(path).c_str(), nullptr) || IsDirectory(path);
}

bool MakeNewDirectory(const std::string& path) { return CreateDirectoryW(WidePathOf(path).c_str(), nullptr) != FALSE; }

PathKind KindOfPath(const std::string& path)
{
    DWORD attributes = GetFileAttributesW(WidePathOf(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::missing;
    return KindOfAttributes(attributes);
}

bool LastWriteTimeOf(const std::string& path, unsigned long long* when)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WidePathOf(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    *when = (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

void HideFile(const std::string& path) { SetFileAttributesW(WidePathOf(path).c_str(), FILE_ATTRIBUTE_HIDDEN); }

std::string WithBackslash(const std::string& path)
{
    if (path.size() >= MAX_PATH - 1)
        return path.empty() || EndsWithSeparator(path) ? path : path + "\\";
    char buf[MAX_PATH] = {0};
    memcpy(buf, path.c_str(), path.size() + 1);
    PathAddBackslashA(buf);
    return buf;
}

std::string WithoutOneBackslash(const std::string& path)
{
    if (path.size() >= MAX_PATH)
        return EndsWithSeparator(path) ? path.substr(0, path.size() - 1) : path; // never a root
    char buf[MAX_PATH] = {0};
    memcpy(buf, path.c_str(), path.size() + 1);
    PathRemoveBackslashA(buf);
    return buf;
}

std::string ShortPathOf(const std::string& path)
{
    std::wstring wide = WidePathOf(path);
    return WideAnswer([&](wchar_t* out, DWORD size) { return GetShortPathNameW(wide.c_str(), out, size); });
}

bool FileSizeOf(const std::string& path, unsigned long long* size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(WidePathOf(path).c_str(), GetFileExInfoStandard, &data) ||
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

#ifndef _WIN32
std::string ParentOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }
#endif
