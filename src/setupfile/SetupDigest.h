// The digest a setup file's trailer records, read without checking the file:
// what names the release a machine was given (the check itself is
// CheckSetupSource's).
#pragma once
#include <string>

// The trailer's MD5 as 32 lower-case hex digits; empty when the file cannot
// be read or is shorter than a trailer.
std::string RecordedSetupDigest(const std::string& setupPath);

// The release's name that the setup file records (mksetup --release), read
// without checking the digest; empty for a file without a name, or one that
// cannot be read.
std::string RecordedReleaseName(const std::string& setupPath);
