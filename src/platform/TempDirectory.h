#pragma once
#include <string>

#include "platform/FileError.h"

// The system's temporary directory with a trailing separator.
std::string SystemTempDirectory();

// Creates a new directory in the system's temporary directory whose name is
// prefix, 16 random hexadecimal digits and suffix, and that did not exist
// before. Returns its path without a trailing separator, or empty with
// *error filled.
std::string CreateRunDirectory(const std::string& prefix, const std::string& suffix, FileError* error);
// Removes an empty directory; false when it cannot.
bool RemoveEmptyDirectory(const std::string& path);
