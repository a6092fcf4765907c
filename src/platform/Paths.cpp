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
#else
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
#endif
