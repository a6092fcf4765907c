#include "platform/DiskSpace.h"

#include <windows.h>

bool VolumeSpace(const std::string& path, unsigned long long* freeBytes, unsigned long long* totalBytes)
{
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExA(path.c_str(), &available, &total, &free))
        return false;
    *freeBytes = available.QuadPart;
    *totalBytes = total.QuadPart;
    return true;
}
