// Facts about the running Windows that the install steps decide on.
#pragma once
#include <string>

// True on an NT-family Windows with major version 6 or more.
bool IsNt6OrLater();
// True when this 32-bit process runs on 64-bit Windows (IsWow64Process looked
// up at run time; absent means no).
bool IsWow64();
// The system directory without a trailing backslash, or empty.
std::string SystemDirectory();
