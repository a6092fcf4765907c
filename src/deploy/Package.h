// Checking and running the package that the setup file carries (see
// SetupImage.h for the layout). Windows only. Shows nothing: what the user is
// told comes back in the outcome.
#pragma once
#include <string>

#include "platform/FileError.h"
#include "setupfile/SetupImage.h"

// What became of the package, from the setup file's check up to the install
// sequence.
struct PackageOutcome {
    enum Kind {
        ran,          // it ran to its end with exit code 0
        failedExit,   // it ran but ended with a non-zero exit code
        notStarted,   // it could not be started
        badSignature, // the setup file is damaged, altered or cut short; nothing was started
        unreadable,   // a file error (the setup file, the package's copy); nothing was started
        noProductDir, // it ran, but left no product directory (the install sequence's finding)
        pathRefused,  // it ran, but its setup.cfg's Path is refused (the install sequence's finding)
    };
    Kind kind = ran;
    unsigned long exitCode = 0; // the package's, for ran and failedExit
    // What the user is told of it before anything else, as an OK box: "Bad
    // Signature", "ERR 203: Create a process failed!" or the file error;
    // empty for ran and failedExit.
    std::string report;
    // For badSignature: why, in Chinese, for the setup log beside the box.
    std::string cause;
};

// Checks the running setup file's digest while it copies the package, in
// the same pass, to "package.exe" in a directory made for this run
// (%TEMP%\sep<16 random hex digits>.tmp); only when the digest matched is the
// package started, with no command line, and waited for. From the moment the
// digest is known until the package has ended, the package file is held open
// so that no other process can write or delete it. The directory is removed
// afterwards, whatever the outcome. badSignature: a damaged, altered or
// cut-short file, one over 4 GiB - 1 byte, a signed trailer whose package
// offset lies beyond the trailer, a misplaced certificate table.
PackageOutcome RunSetupPackage();
// The same for a given setup file.
PackageOutcome RunSetupPackageFrom(const std::string& setupPath);

// Checks a setup file's digest and trailer only, reading it in pieces:
// nothing written, nothing shown. The install sequence asks this before it
// wipes anything. unreadable with *error naming the file and the cause.
ImageCheck VerifySetupFileAt(const std::string& setupPath, FileError* error);
ImageCheck VerifySetupFile(FileError* error);
// True when the running setup file checks ok.
bool VerifySetupFile();
bool VerifySetupFileAt(const std::string& setupPath);
