// Where an opened file really is, as the system's final path of its handle
// says ("\\?\D:\Velko\Boot\SetUp.log", "\\?\UNC\server\share\x"): the pure,
// portable half of the writes that no planted link may lead elsewhere
// (LinkGuard). Paths here are UTF-8, as the Windows half converts them.
#pragma once
#include <string>

// A final path in the form to compare: without its "\\?\" prefix (a
// "\\?\UNC\server\share" path as "\\server\share"), without trailing
// backslashes (a drive root "C:\" as "c:"), ASCII letters lower-cased (the
// bytes of other letters are kept: both sides of a comparison come from the
// same disk).
std::string FinalPathKey(const std::string& finalPath);

// path lies below folder (the folder itself does not): both final paths,
// compared as FinalPathKey forms them. A sibling that only begins alike
// ("C:\Boot2" for "C:\Boot") is not within; a path with a "." or ".."
// part (which no final path has) or an empty one is refused outright.
bool FinalPathIsWithin(const std::string& path, const std::string& folder);

// path is folder's own entry name (one level below it, its name compared
// without regard to ASCII case): what a file opened as folder\name must be.
bool FinalPathIsEntry(const std::string& path, const std::string& folder, const std::string& name);
