#include "release/TagStore.h"

#include <ctime>

#include "deploy/FileTree.h"
#include "locations/Locations.h"
#include "platform/DirectoryEntries.h"
#include "platform/DirectoryTree.h"
#include "platform/FileCopy.h"
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

void MoveByRenames(const std::string& from, const std::string& to,
                   const std::function<void(const std::string& path, Stuck why)>& stuck)
{
    PathKind kind = KindOfPath(from);
    if (kind == PathKind::missing || IsSelfOrWithin(from, WithoutTrailingBackslash(BootDir())))
        return;
    if (kind == PathKind::link) {
        stuck(from, Stuck::link);
        return;
    }
    PathKind target = KindOfPath(to);
    if (kind == PathKind::file) {
        MakeDirectoryPath(ParentOf(to));
        if (target != PathKind::missing || !MovePath(from, to, false))
            stuck(from, Stuck::notMoved);
        return;
    }
    if (target != PathKind::directory) {
        MakeDirectoryPath(ParentOf(to));
        if (target != PathKind::missing || !MakeDirectory(to)) {
            stuck(from, Stuck::notMoved);
            return;
        }
    }
    std::vector<std::string> names;
    ForEachEntry(from, "*", [&](const DirectoryEntry& entry) {
        names.push_back(entry.name);
        return true;
    });
    for (const std::string& name : names) {
        std::string fromChild = JoinPath(from, name), toChild = JoinPath(to, name);
        if (fromChild.empty() || toChild.empty())
            stuck(from, Stuck::notMoved); // a path too long to move stays, and so does its directory
        else
            MoveByRenames(fromChild, toChild, stuck);
    }
    RemoveEmptyDirectory(from); // stays when something in it stayed
}
