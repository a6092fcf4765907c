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

namespace {
using StuckFn = std::function<void(const std::string& path, Stuck why)>;

// kind: from's, as its directory listed it. targetMissing: to's directory was
// made by this walk, so nothing is at to and its parent exists: one rename a
// file, where thousands of part programs make every extra look count.
void MoveEntry(const std::string& from, PathKind kind, const std::string& to, bool targetMissing,
               const std::string& bootDir, const StuckFn& stuck)
{
    if (kind == PathKind::missing || IsSelfOrWithin(from, bootDir))
        return;
    if (kind == PathKind::link) {
        stuck(from, Stuck::link);
        return;
    }
    if (kind == PathKind::file) {
        PathKind target = PathKind::missing;
        if (!targetMissing) {
            target = KindOfPath(to);
            MakeDirectoryPath(ParentOf(to));
        }
        // One that went away meanwhile is nothing to move.
        if ((target != PathKind::missing || !MovePath(from, to, false)) && KindOfPath(from) != PathKind::missing)
            stuck(from, Stuck::notMoved);
        return;
    }
    bool made = false;
    PathKind target = targetMissing ? PathKind::missing : KindOfPath(to);
    if (target != PathKind::directory) {
        if (!targetMissing)
            MakeDirectoryPath(ParentOf(to));
        if (target != PathKind::missing || !MakeDirectory(to)) {
            stuck(from, Stuck::notMoved);
            return;
        }
        made = true;
    }
    for (const DirectoryEntry& entry : ListEntries(from)) {
        std::string fromChild = JoinPath(from, entry.name), toChild = JoinPath(to, entry.name);
        if (fromChild.empty() || toChild.empty())
            stuck(from, Stuck::notMoved); // a path too long to move stays, and so does its directory
        else
            MoveEntry(fromChild, KindOfAttributes(entry.attributes), toChild, made, bootDir, stuck);
    }
    RemoveEmptyDirectory(from); // stays when something in it stayed
}
} // namespace

void MoveByRenames(const std::string& from, const std::string& to, const StuckFn& stuck)
{
    MoveEntry(from, KindOfPath(from), to, false, WithoutTrailingBackslash(BootDir()), stuck);
}
