// Whole directory trees: delete, copy, create a path. Windows only. Walks
// never enter, copy or delete a reparse point (junction, directory symbolic
// link, mount point): what it leads to stays where it is.
#pragma once
#include <string>

// Deletes directory with everything in it (read-only files too); false when
// something stays (a reparse point among it always does, and a directory
// that is itself one is left at once).
bool DeleteDirectoryTree(const std::string& directory);
// Copies the contents of source into destination (created when missing,
// merged into when present), file by file; reparse points are left out. 0,
// or the system error code of the first entry that could not be copied (the
// others are still copied).
int CopyDirectoryTree(const std::string& source, const std::string& destination);
// The bytes of every file below directory; reparse points are not followed
// (what they lead to is not part of the tree).
unsigned long long DirectoryTreeBytes(const std::string& directory);
// Creates directory and every missing directory above it.
void MakeDirectoryPath(const std::string& directory);
