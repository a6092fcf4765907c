// How much room the volume of a path has. Windows only.
#pragma once
#include <string>

// Free bytes (for this process) and total bytes of the volume holding path
// (an existing directory or a drive root such as "D:\\"); false when they
// cannot be known.
bool VolumeSpace(const std::string& path, unsigned long long* freeBytes, unsigned long long* totalBytes);
