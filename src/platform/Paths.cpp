#include "platform/Paths.h"

#ifdef _WIN32
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

std::string WithoutTrailingBackslash(const std::string& path)
{
    std::string out = path;
    while (out.size() > 3 && out.back() == '\\')
        out.pop_back();
    return out;
}

void ClearAttributes(const std::string& path) { SetFileAttributesA(path.c_str(), 0); }

bool MakeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) || IsDirectory(path); }

void HideFile(const std::string& path) { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN); }
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

std::string WithoutTrailingBackslash(const std::string& path)
{
    std::string out = path;
    while (out.size() > 1 && (out.back() == '/' || out.back() == '\\'))
        out.pop_back();
    return out;
}

void ClearAttributes(const std::string&) {}

bool MakeDirectory(const std::string& path) { return ::mkdir(path.c_str(), 0755) == 0 || IsDirectory(path); }

void HideFile(const std::string&) {}
#endif
