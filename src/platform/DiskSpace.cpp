#include "platform/DiskSpace.h"

#include <windows.h>

#include "platform/WidePath.h"

bool VolumeSpace(const std::string& path, unsigned long long* freeBytes, unsigned long long* totalBytes)
{
    // The call wants a directory with its trailing backslash.
    std::string dir = path.empty() || path.back() == '\\' ? path : path + "\\";
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(WidePathOf(dir).c_str(), &available, &total, &free))
        return false;
    *freeBytes = available.QuadPart;
    *totalBytes = total.QuadPart;
    return true;
}
