#include "platform/DiskSpace.h"

#include <windows.h>

bool FreeBytesOnDrive(const std::string& path, unsigned long long* bytes)
{
    if (path.size() < 2 || path[1] != ':')
        return false;
    std::string root = path.substr(0, 2) + "\\";
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr))
        return false;
    *bytes = available.QuadPart;
    return true;
}
