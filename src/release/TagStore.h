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
// The one mover: a walk of from onto to by renames, file by file (a file
// held open is found and named on Windows and under Wine alike); never a
// copy. Where the walk made the target folder itself nothing can be at a
// file's target, and each file takes one rename and no further look-up. What
// goes, and what happens where something is already at the target, is the
// caller's; what cannot be moved stays where it is and is passed to stuck.
struct RenameWalk {
    // The file from goes to to (null: every file).
    std::function<bool(const std::string& from, const std::string& to)> take;
    // Something is at the file's target: true when from came in anyway (met,
    // replaced, or kept beside it); null: it is stuck.
    std::function<bool(const std::string& from, const std::string& to)> meet;
    // A folder below the top is walked at all (null: every one).
    std::function<bool(const std::string& from, const std::string& to)> walks;
    // A folder with nothing at its target may go in one rename; its files
    // counted into *files (null: never).
    std::function<bool(const std::string& from, size_t* files)> whole;
    std::function<void(const std::string& path, Stuck why)> stuck;
    bool makeFolders = true;     // target folders made as reached, else only for a file that goes
    bool removeEmptied = true;   // a folder of from left empty goes
    bool keepTop = false;        // ...but never the top one
    std::string never;           // a tree never moved, left where it is (the records' boot directory)
    size_t moved = 0;            // files that reached the target

    void Walk(const std::string& from, const std::string& to);

private:
    void Entry(const std::string& from, bool directory, const std::string& to, bool fresh, bool top);
};

// Moves from onto to by renames, merging into directories already at the
// target. What cannot be moved (held, a name too long, something already at
// the target, a link) stays and is passed to stuck (a directory stays with
// it). The boot directory, which holds the records, is never moved.
void MoveByRenames(const std::string& from, const std::string& to,
                   const std::function<void(const std::string& path, Stuck why)>& stuck);
