// The product's tree operations: delete (never a protected folder), copy,
// and the recursive collectors that list files by a name rule. None shows a
// message; results tell the caller what happened.
#pragma once
#include <string>
#include <vector>

#include "platform/DirectoryTree.h"

using PathList = std::vector<std::string>;

// Walks of the product's trees never enter, copy, move or delete a reparse
// point (junction, directory symbolic link, mount point): what it leads to
// is not the product's, and it stays where it is.

// Deletes directory with everything in it (read-only files too); false when
// something stays (a reparse point among it always does). Refuses at once a
// drive or share root, the Windows directory and anything in it, and the
// system, program-files and profile folders and every directory that
// contains one, however spelled (short names, links on the way).
bool DeleteTree(const std::string& directory);
// Copies the contents of the directory source into destination (created
// when missing, merged into when present), file by file, without any box;
// reparse points are left out. 0, or the error code of the first entry that
// could not be copied (the others are still copied).
int CopyTree(const std::string& source, const std::string& destination);

// Append matches (full paths) to list; never clear, sort or de-duplicate it.
// Reparse points are neither listed nor entered.
void CollectByName(const std::string& root, const std::string& name, PathList& list);
void CollectByFragment(const std::string& root, const std::string& fragment, PathList& list);
void CollectByFragments(const std::string& root, const std::string& first, const std::string& second,
                        PathList& list);
