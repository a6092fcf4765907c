#include "platform/TempDirectory.h"

#ifdef _WIN32
#include <windows.h>

std::string SystemTempDirectory()
{
    char buf[MAX_PATH + 1] = {0};
    DWORD n = GetTempPathA(sizeof buf, buf);
    if (n == 0 || n > MAX_PATH)
        return std::string();
    return std::string(buf, n);
}
#else
#include <cstdlib>

std::string SystemTempDirectory()
{
    const char* dir = getenv("TMPDIR");
    std::string s = (dir && *dir) ? dir : "/tmp";
    if (s.back() != '/')
        s += '/';
    return s;
}
#endif
