// Facts about the running Windows that the install steps decide on.
#pragma once
#include <string>
#include <vector>

// True on an NT-family Windows with major version 6 or more.
bool IsNt6OrLater();
// True when this 32-bit process runs on 64-bit Windows (IsWow64Process looked
// up at run time; absent means no).
bool IsWow64();
// The system directory without a trailing backslash, or empty.
std::string SystemDirectory();
// The Windows directory without a trailing backslash, or empty.
std::string WindowsDirectory();
// The folders no tree of the product may be or contain: the Windows and
// system directories (SysWOW64 too), both program-files directories and the
// user's profile. Those that cannot be found are left out.
std::vector<std::string> SystemFolders();
// The computer's NetBIOS name, or empty when Windows does not give it.
std::string ComputerName();
