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

char PathSeparator() { return '\\'; }
#else
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

char PathSeparator() { return '/'; }
#endif
