#pragma once
#include <string>

// The system's temporary directory with a trailing separator.
std::string SystemTempDirectory();
