// Profile (INI) file access. On Windows the real GetPrivateProfile*A calls;
// natively a reader that gives the same answers for plain sections and keys
// (case-insensitive names, blanks around names and values dropped, one pair
// of surrounding quotes removed, first occurrence wins).
#pragma once
#include <string>
#include <string_view>

// Reads section/key into a buffer of bufferSize bytes (NUL included); missing
// file, section or key give defaultValue.
std::string ProfileGetString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& defaultValue = std::string(), unsigned bufferSize = 260);
int ProfileGetInt(const std::string& file, const std::string& section, const std::string& key, int defaultValue);
bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);
// Drops what the system keeps of a profile file that another program has
// replaced: Wine keeps a parsed copy and reloads it only when the file's
// write time changed, and an archive gives a file the time it was packed
// with, to the second.
void ProfileForget(const std::string& file);

// The native reader on the bytes of a file already in memory (also on
// Windows, where it stands in for the file calls): natively the file
// functions above are exactly these on the file's bytes, a missing file
// reading as an empty text.
std::string ProfileGetStringInText(std::string_view text, const std::string& section, const std::string& key,
                                   const std::string& defaultValue = std::string(), unsigned bufferSize = 260);
int ProfileGetIntInText(std::string_view text, const std::string& section, const std::string& key, int defaultValue);
// The bytes ProfileWriteString leaves in a file that held text.
std::string ProfileWriteStringInText(std::string_view text, const std::string& section, const std::string& key,
                                     const std::string& value);
