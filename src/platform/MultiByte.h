// Names in the system's multibyte code page (GBK on a Chinese controller PC):
// lower-casing and searching that keep double-byte characters whole.
#pragma once
#include <string>

// Lower-cases a name in the system's multibyte code page: single bytes through
// the code page's case table, double-byte characters through the platform's
// lower-case mapping, each kept whole.
std::string LowerMultiByte(const std::string& name);
// Finds key in text, stepping over double-byte characters as units so that a
// match never starts on a trail byte.
bool ContainsMultiByte(const std::string& text, const std::string& key);
// True for a lead byte of a double-byte character in the system's code page.
bool IsMultiByteLead(unsigned char c);

// Two paths that name the same place, compared as the file system does:
// lowered by the code page's rules, so that a trail byte of a double-byte
// name is never taken for a letter.
bool SamePath(const std::string& a, const std::string& b);
// path is dir or lies below it (dir with or without its trailing backslash;
// an empty dir holds nothing).
bool IsSelfOrWithin(const std::string& path, const std::string& dir);
// The same, dir itself left out.
bool IsStrictlyWithin(const std::string& path, const std::string& dir);
