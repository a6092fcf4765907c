// Paths above the platform are text in the system code page (GBK on a
// Chinese controller PC); the file system holds UTF-16 names of any length.
// A character the code page cannot hold is written "<U+XXXX>" ("<U+1F600>"
// beyond the BMP): '<' and '>' never occur in a Windows file name, so the
// form is unambiguous and reads as it is in the setup log and the records.
// Windows only: every file-system call of the platform goes through these.
#pragma once
#include <string>

// The wide path the W calls take: the code page's text decoded, each
// "<U+XXXX>" decoded, and "\\?\" put in front of an absolute drive or UNC
// path that is too long for the plain form (its "." and ".." parts resolved
// and '/' made '\' first, as the prefix turns that off).
std::wstring WidePathOf(const std::string& path);
// A name or path as the file system gave it, in the code page, each
// character the code page cannot hold (or not hold exactly) written
// "<U+XXXX>"; a "\\?\" it starts with is dropped.
std::string NarrowNameOf(const std::wstring& name);
// The same for a terminated name (a directory entry's).
std::string NarrowNameOf(const wchar_t* name);
