// Generic directory-tree operations: recursive delete, shell tree copy,
// directory-path creation and the recursive collectors that list files by a
// name rule. None shows a message; results tell the caller what happened.
#pragma once
#include <string>
#include <vector>

using PathList = std::vector<std::string>;

// Every tree copy uses these shell flags: multi-destination, silent, no
// confirmation, no confirmation of new directories.
const unsigned kCopyTreeFlags = 0x215;
// Added where the caller checks the copy itself: no error box of the shell's.
const unsigned kCopyTreeNoErrorUi = 0x400;

// Deletes directory with everything in it (read-only files too); false when
// something stays. Refuses at once a drive or share root, the Windows
// directory and anything in it, and the system, program-files and profile
// folders and every directory that contains one.
bool DeleteTree(const std::string& directory);
int CopyTree(const std::string& source, const std::string& destination, unsigned flags);
void MakeDirectoryPath(const std::string& directory);

// Append matches (full paths) to list; never clear, sort or de-duplicate it.
void CollectByName(const std::string& root, const std::string& name, PathList& list);
void CollectByFragment(const std::string& root, const std::string& fragment, PathList& list);
void CollectByFragments(const std::string& root, const std::string& first, const std::string& second,
                        PathList& list);
