#include "release/TagStore.h"

#include <ctime>

#include "deploy/FileTree.h"
#include "locations/Locations.h"
#include "platform/DirectoryEntries.h"
#include "platform/DirectoryTree.h"
#include "platform/FileCopy.h"
#include "platform/LinkGuard.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"
#include "platform/TempDirectory.h"

bool IsTagForm(const std::string& tag)
{
    return tag.size() == 8 && tag.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string TagDirFor(const std::string& path, const std::string& tag) { return JoinPath(PreviousReleaseRootFor(path), tag); }

std::vector<std::string> TagDirectories(const std::string& tag)
{
    std::vector<std::string> dirs = {TagDirFor(InstallRoot(), tag)};
    std::string data = TagDirFor(DataRoot(), tag);
    if (!SamePath(data, dirs[0]))
        dirs.push_back(data);
    return dirs;
}

std::string NewTag()
{
    unsigned long base = static_cast<unsigned long>(time(nullptr)) ^ (static_cast<unsigned long>(CurrentProcessId()) << 20);
    for (unsigned long n = 0;; ++n) {
        std::string tag = StrPrintf("%08lx", (base + n) & 0xffffffffUL);
        bool free = true;
        for (const std::string& dir : TagDirectories(tag))
            free = free && KindOfPath(dir) == PathKind::missing;
        if (free)
            return tag;
    }
}

bool DeleteTagDirectory(const std::string& dir)
{
    if (KindOfPath(dir) == PathKind::missing)
        return true;
    // A tag directory behind a link (its root replaced by a junction since)
    // is not ours to delete: what the link leads to stays.
    if (!LinkOnPath(ParentOf(dir)).empty())
        return false;
    ClearAttributes(dir);
    bool gone = DeleteTree(dir) || KindOfPath(dir) == PathKind::missing;
    RemoveEmptyDirectory(ParentOf(dir)); // the hidden root, once no tag uses it
    return gone;
}

bool RemoveEmptyTree(const std::string& dir)
{
    std::vector<std::string> subdirs;
    ForEachEntry(dir, "*", [&](const DirectoryEntry& entry) {
        if (entry.IsDirectory() && !entry.IsReparsePoint())
            subdirs.push_back(JoinPath(dir, entry.name));
        return true;
    });
    for (const std::string& sub : subdirs)
        RemoveEmptyTree(sub);
    ClearAttributes(dir);
    return RemoveEmptyDirectory(dir) || KindOfPath(dir) == PathKind::missing;
}

void RenameWalk::Walk(const std::string& from, const std::string& to)
{
    PathKind kind = KindOfPath(from);
    if (kind == PathKind::missing)
        return;
    if (kind == PathKind::link) {
        if (!never.empty() && IsSelfOrWithin(from, never))
            return;
        if (stuck)
            stuck(from, Stuck::link);
        return;
    }
    Entry(from, kind == PathKind::directory, to, false, true);
}

// fresh: to's folder was made by this walk, so nothing is at to and its
// parent exists.
void RenameWalk::Entry(const std::string& from, bool directory, const std::string& to, bool fresh, bool top)
{
    if (!never.empty() && IsSelfOrWithin(from, never))
        return;
    auto fail = [&](const std::string& path) {
        if (stuck)
            stuck(path, Stuck::notMoved);
    };
    if (!directory) {
        if (take && !take(from, to))
            return;
        PathKind target = fresh ? PathKind::missing : KindOfPath(to);
        if (target == PathKind::missing) {
            if (!fresh)
                MakeDirectoryPath(ParentOf(to));
            if (MovePath(from, to, false))
                ++moved;
            else if (KindOfPath(from) != PathKind::missing) // gone meanwhile: nothing to move
                fail(from);
        } else if (meet && target == PathKind::file) {
            if (meet(from, to))
                ++moved;
        } else {
            fail(from);
        }
        return;
    }
    PathKind target = fresh ? PathKind::missing : KindOfPath(to);
    if (target != PathKind::missing && target != PathKind::directory) {
        fail(from);
        return;
    }
    size_t files = 0;
    if (whole && !top && target == PathKind::missing && whole(from, &files)) {
        if (!fresh)
            MakeDirectoryPath(ParentOf(to));
        if (MovePath(from, to, false)) {
            moved += files;
            return;
        }
    }
    bool made = false;
    if (makeFolders && target == PathKind::missing) {
        if (!fresh)
            MakeDirectoryPath(ParentOf(to));
        made = MakeDirectory(to);
        if (!made) {
            fail(from);
            return;
        }
    }
    for (const DirectoryEntry& entry : ListEntries(from)) {
        std::string fromChild = JoinPath(from, entry.name), toChild = JoinPath(to, entry.name);
        if (fromChild.empty() || toChild.empty()) {
            fail(from); // a path too long to move stays, and so does its directory
        } else if (entry.IsReparsePoint()) {
            if (stuck && (never.empty() || !IsSelfOrWithin(fromChild, never)))
                stuck(fromChild, Stuck::link); // what a link leads to is not the product's: it stays
        } else if (entry.IsDirectory()) {
            if (!walks || walks(fromChild, toChild))
                Entry(fromChild, true, toChild, made, false);
        } else {
            Entry(fromChild, false, toChild, made, false);
        }
    }
    if (removeEmptied && !(top && keepTop))
        RemoveEmptyDirectory(from); // stays when something in it stayed
}

void MoveByRenames(const std::string& from, const std::string& to,
                   const std::function<void(const std::string& path, Stuck why)>& stuck)
{
    RenameWalk walk;
    walk.stuck = stuck;
    walk.never = WithoutTrailingBackslash(BootDir());
    walk.Walk(from, to);
}
