// Checking and running the package that the setup file carries (see
// SetupImage.h for the layout). Windows only.
#pragma once
#include <string>

// Reads the running setup file whole, checks its digest, writes the package
// to a "sep" temporary file, runs it with no command line and waits for it.
// True once the package has run to its end (its exit code is not looked at);
// false after a failure already shown to the user: "Bad Signature" (also for
// a signed trailer whose package offset lies beyond the trailer), "ERR 203:
// Create a process failed!" (the temp file stays), or a file-error report.
bool ExtractPackage();
// The same for a given setup file.
bool ExtractPackageFrom(const std::string& setupPath);

// Checks the running setup file's digest and trailer only: nothing written,
// nothing shown. The install sequence asks this before it wipes anything.
bool VerifySetupFile();
bool VerifySetupFileAt(const std::string& setupPath);
