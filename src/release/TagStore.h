// The tag store: a run's or a kept release's directories are named by a tag
// below "<root>.previous" of each drive the setup writes (PreviousReleaseRootFor),
// made fresh, moved into and out of by renames on their own volume, and
// deleted. Windows only.
#pragma once
#include <functional>
#include <string>
#include <vector>

// The one form of a tag: eight lower-case hex digits.
bool IsTagForm(const std::string& tag);
// A tag of that form with no directory of it below any root.
std::string NewTag();
// The tag's directory on path's drive.
std::string TagDirFor(const std::string& path, const std::string& tag);
// The tag's directories below each root (InstallRoot's and DataRoot's drives).
std::vector<std::string> TagDirectories(const std::string& tag);

// Deletes a tag's directory (attributes cleared first), then its hidden root
// once no tag uses it; true when the directory is gone.
bool DeleteTagDirectory(const std::string& dir);
// Empty directories below dir, then dir; true when dir is gone.
bool RemoveEmptyTree(const std::string& dir);

enum class Stuck {
    link,     // a link: what it points to is not the product's, it stays
    notMoved, // held open, a name too long, or something already at the target
};
// Moves from onto to by renames, file by file (a file held open is found and
// named on Windows and under Wine alike), merging into directories already
// at the target; never a copy. What cannot be moved stays where it is and is
// passed to stuck (a directory stays with it). The boot directory, which
// holds the records, is never moved.
void MoveByRenames(const std::string& from, const std::string& to,
                   const std::function<void(const std::string& path, Stuck why)>& stuck);
