// Checking and running the package that the setup file carries (see
// SetupImage.h for the layout). Windows only.
#pragma once
#include <string>

#include "platform/FileError.h"

// What became of an extraction.
enum class PackageRun {
    ok,            // the package ran to its end with exit code 0
    packageFailed, // the package ran but ended with a non-zero exit code
    notStarted,    // "ERR 203: Create a process failed!" was shown
    badSignature,  // "Bad Signature" was shown; nothing was started
    fileError,     // a file error was reported; nothing was started
};
struct PackageResult {
    PackageRun run = PackageRun::fileError;
    unsigned long exitCode = 0; // the package's, for ok and packageFailed
};

// Checks the running setup file's digest while it copies the package, in
// the same pass, to "package.exe" in a directory made for this run
// (%TEMP%\sep<16 random hex digits>.tmp); only when the digest matched is the
// package started, with no command line, and waited for. From the moment the
// digest is known until the package has ended, the package file is held open
// so that no other process can write or delete it. The directory is removed
// afterwards, whatever the outcome. Failures other than packageFailed have
// been shown to the user: "Bad Signature" (a damaged, altered or cut-short
// file, one over 4 GiB - 1 byte, a signed trailer whose package offset lies
// beyond the trailer, a misplaced certificate table), "ERR 203: Create a
// process failed!", or a file-error report. packageFailed shows nothing.
PackageResult ExtractPackage();
// The same for a given setup file.
PackageResult ExtractPackageFrom(const std::string& setupPath);

// What the check of a setup file found.
enum class SetupFileCheck {
    ok,
    fileError, // it could not be opened or read: *error names file and cause
    badImage,  // read whole, but damaged, altered, cut short or too large
};

// Checks a setup file's digest and trailer only, reading it in pieces:
// nothing written, nothing shown. The install sequence asks this before it
// wipes anything.
SetupFileCheck VerifySetupFileAt(const std::string& setupPath, FileError* error);
SetupFileCheck VerifySetupFile(FileError* error);
// True when the running setup file checks ok.
bool VerifySetupFile();
bool VerifySetupFileAt(const std::string& setupPath);
