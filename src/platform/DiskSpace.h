// Free space of the drive that holds a path. Windows only.
#pragma once
#include <string>

// The bytes this user may still write on path's drive; false when the drive
// cannot be asked (no such drive).
bool FreeBytesOnDrive(const std::string& path, unsigned long long* bytes);
