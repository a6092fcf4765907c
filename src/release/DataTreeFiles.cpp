#include "release/DataTreeFiles.h"

#include "release/TagStore.h"

#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "params/ParameterFileKinds.h"
#include "platform/DirectoryEntries.h"
#include "platform/DirectoryTree.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/TempDirectory.h"

std::string FileStamp(const std::string& path)
{
    unsigned long long size = 0, when = 0;
    if (!FileSizeOf(path, &size) || !LastWriteTimeOf(path, &when))
        return std::string();
    return std::to_string(size) + "-" + std::to_string(when);
}

void ListLaidFiles(const std::string& dir, const std::string& into, std::vector<LaidFile>* files)
{
    ForEachEntry(dir, "*", [&](const DirectoryEntry& entry) {
        std::string from = JoinPath(dir, entry.name), as = JoinPath(into, entry.name);
        if (from.empty() || as.empty() || entry.IsReparsePoint())
            return true;
        if (entry.IsDirectory())
            ListLaidFiles(from, as, files);
        else
            files->push_back({as, FileStamp(from)});
        return true;
    });
}

LaidFiles::LaidFiles(const std::vector<LaidFile>& files)
{
    for (const LaidFile& file : files) {
        std::string path = LowerMultiByte(file.path);
        m_stamps[path] = file.stamp;
        for (size_t slash = path.find_last_of('\\'); slash != std::string::npos && slash > 0;
             slash = path.find_last_of('\\', slash - 1))
            if (!m_dirs.insert(path.substr(0, slash)).second)
                break; // its parents are in already
    }
}

bool LaidFiles::NamesBelow(const std::string& dir) const { return m_dirs.count(LowerMultiByte(dir)) != 0; }

bool LaidFiles::Holds(const std::string& livePath, const std::string& file) const
{
    auto found = m_stamps.find(LowerMultiByte(livePath));
    // A laid file changed since (the operator's version put in its place)
    // is no longer the release's.
    return found != m_stamps.end() && !found->second.empty() && found->second == FileStamp(file);
}

bool LaidFiles::Names(const std::string& livePath) const { return m_stamps.count(LowerMultiByte(livePath)) != 0; }

bool IsMachineValue(const std::string& livePath, const std::string& liveRoot, const LaidFiles& laid,
                    const LaidFiles* alsoLaid)
{
    if (!IsParameterFileName(livePath.substr(livePath.find_last_of('\\') + 1)))
        return false;
    // A CAM's config.ini or a part program named like a backup is the
    // operator's work: stripping it by name alone lost it. Directly in the
    // tree's root lie the release's own (Ncpm.pmt), laid by a release that
    // an earlier setup installed without recording them.
    return SamePath(ParentOf(livePath), liveRoot) || IsStrictlyWithin(livePath, JoinPath(liveRoot, "config")) ||
           laid.Names(livePath) || (alsoLaid && alsoLaid->Names(livePath));
}

bool MovesWithRelease(const std::string& livePath, const std::string& file, const std::string& liveRoot,
                      const LaidFiles& laid)
{
    return IsMachineValue(livePath, liveRoot, laid) || laid.Holds(livePath, file);
}

std::string OlderVersionName(const std::string& path, unsigned long long lastWrite)
{
    size_t slash = path.find_last_of('\\');
    std::string dir = path.substr(0, slash), name = path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    std::string ext = stem.size() == name.size() ? std::string() : name.substr(dot);
    std::string base = stem + ".older-" + LocalStampOfFileTime(lastWrite);
    for (int n = 1; n < 1000; ++n) {
        std::string candidate = JoinPath(dir, base + (n == 1 ? std::string() : "-" + std::to_string(n)) + ext);
        if (candidate.empty())
            return std::string();
        if (KindOfPath(candidate) == PathKind::missing)
            return candidate;
    }
    return std::string();
}

namespace {
// A directory whose files all go the same way, and that holds no link: its
// files counted into *files.
bool HoldsOnlyMovableFiles(const std::string& dir, size_t* files)
{
    bool movable = true;
    ForEachEntry(dir, "*", [&](const DirectoryEntry& entry) {
        std::string path = JoinPath(dir, entry.name);
        if (path.empty() || entry.IsReparsePoint())
            movable = false;
        else if (entry.IsDirectory())
            movable = HoldsOnlyMovableFiles(path, files);
        else if (IsParameterFileName(entry.name))
            movable = false;
        else
            ++*files;
        return movable;
    });
    return movable;
}

// A walk of a data tree or its copy (RenameWalk, the one mover). The live
// path of each file (where it lies in the live tree) decides whether it is
// taken.
struct DataMove {
    std::function<bool(const std::string& livePath, const std::string& file)> take;
    bool fromIsLive = false; // moving out of the live tree, else into it
    bool merge = false;      // a file already at the target is met, not a failure
    // Coming home from the set-aside after an update: a file the package laid
    // at the target, unchanged, gives way to the saved one; the same file
    // (its stamp) stays on both sides.
    const LaidFiles* overLaid = nullptr;
    // A release's copy coming in: the operator's file met in the live tree
    // stays in place whatever its date.
    bool liveStays = false;
    // Which folders below the top are walked at all, by live path (null:
    // every one).
    std::function<bool(const std::string& dir)> walks;
    std::vector<std::string>* notMoved = nullptr;
    size_t moved = 0;

    void Stuck(const std::string& path)
    {
        notMoved->push_back(path);
        TraceMessage("|E|data tree move: %s stays", path.c_str());
    }

    // Two versions of one file: the operator's (liveStays) or the newer
    // stays at to, the other beside it; true when from left the copy.
    bool Meet(const std::string& from, const std::string& to)
    {
        if (SameFileContents(from, to)) {
            if (!RemoveFile(from))
                Stuck(from);
            return false;
        }
        unsigned long long fromTime = 0, toTime = 0;
        LastWriteTimeOf(from, &fromTime);
        LastWriteTimeOf(to, &toTime);
        if (liveStays || fromTime <= toTime) {
            std::string beside = OlderVersionName(to, fromTime);
            if (beside.empty() || !MovePath(from, beside, false)) {
                Stuck(from);
                return false;
            }
            WriteLogLine(liveStays ? "操作员的文件留在原处：" + to + "；版本的文件保留为：" + beside
                                   : "两个版本都有改动，较新的留在原处：" + to + "；另一个保留为：" + beside);
            return true;
        }
        std::string older = OlderVersionName(to, toTime);
        if (older.empty() || !MovePath(to, older, false)) {
            Stuck(from);
            return false;
        }
        if (!MovePath(from, to, false)) {
            MovePath(older, to, false);
            Stuck(from);
            return false;
        }
        WriteLogLine("两个版本都有改动，较新的留在原处：" + to + "；另一个保留为：" + older);
        return true;
    }

    // Something is at to's place (a file).
    bool AtTarget(const std::string& from, const std::string& to)
    {
        if (overLaid && FileStamp(from) == FileStamp(to))
            return false; // the set-aside release keeps its copy: an undo needs it
        if (overLaid && overLaid->Holds(to, to)) {
            if (ReplaceFileAtomically(from, to))
                return true;
            Stuck(from);
            return false;
        }
        if (merge)
            return Meet(from, to);
        Stuck(from);
        return false;
    }

    void Run(const std::string& from, const std::string& to)
    {
        RenameWalk walk;
        walk.take = [&](const std::string& file, const std::string& target) {
            return take(fromIsLive ? file : target, file);
        };
        walk.meet = [&](const std::string& file, const std::string& target) { return AtTarget(file, target); };
        if (walks)
            walk.walks = [&](const std::string& dir, const std::string& target) {
                return walks(fromIsLive ? dir : target);
            };
        // Coming home, a folder the new tree lacks and that holds none of the
        // machine's values goes in one rename: thousands of part programs
        // are one step, not thousands.
        if (overLaid)
            walk.whole = HoldsOnlyMovableFiles;
        walk.stuck = [&](const std::string& path, ::Stuck why) {
            if (why == ::Stuck::notMoved)
                Stuck(path); // a link stays unnamed: what it leads to is not the product's
        };
        // The live tree's folders stay with the operator's files, and its
        // copy's folder is made only for a file that goes; the operator's
        // empty folders of a copy come along into the live tree.
        walk.makeFolders = merge && !fromIsLive;
        walk.removeEmptied = !fromIsLive;
        walk.keepTop = true;
        walk.Walk(from, to);
        moved += walk.moved;
    }
};
} // namespace

void MoveReleaseFilesOut(const std::string& live, const std::string& copy, const LaidFiles& laid,
                         std::vector<std::string>* notMoved, const std::function<bool(const std::string& path)>& stays)
{
    if (KindOfPath(live) != PathKind::directory)
        return;
    DataMove move;
    move.take = [&](const std::string& path, const std::string& file) {
        return MovesWithRelease(path, file, live, laid) && !(stays && stays(path));
    };
    move.fromIsLive = true;
    // Release files lie only where it laid them, values only in the root
    // (its files are looked at one by one) and below "config".
    std::string config = JoinPath(live, "config");
    move.walks = [&](const std::string& dir) {
        return laid.NamesBelow(dir) || IsSelfOrWithin(dir, config);
    };
    move.notMoved = notMoved;
    MakeDirectoryPath(copy); // the release's copy of the data tree, even when it holds nothing
    move.Run(live, copy);
}

size_t MergeIntoLiveTree(const std::string& copy, const std::string& live, bool operatorOnly, const LaidFiles& laid,
                         std::vector<std::string>* notMoved)
{
    PathKind kind = KindOfPath(copy);
    if (kind == PathKind::missing || kind == PathKind::link)
        return 0;
    DataMove move;
    move.take = [&](const std::string& path, const std::string& file) {
        return !operatorOnly || !MovesWithRelease(path, file, live, laid);
    };
    move.merge = true;
    move.liveStays = !operatorOnly;
    move.notMoved = notMoved;
    move.Run(copy, live);
    return move.moved;
}

size_t MoveSavedFilesHome(const std::string& copy, const std::string& live, const LaidFiles& laid,
                          const LaidFiles& priorLaid, std::vector<std::string>* notMoved)
{
    if (KindOfPath(copy) != PathKind::directory)
        return 0;
    DataMove move;
    move.take = [&](const std::string& path, const std::string&) {
        return !IsMachineValue(path, live, laid, &priorLaid);
    };
    move.merge = true;
    move.overLaid = &laid;
    move.notMoved = notMoved;
    MakeDirectoryPath(live);
    move.Run(copy, live);
    return move.moved;
}

std::vector<LayPlan> PlanReleaseLay(const std::string& source, const std::string& target)
{
    std::vector<LaidFile> files;
    ListLaidFiles(source, target, &files);
    std::vector<LayPlan> plan;
    for (const LaidFile& file : files) {
        std::string from = source + file.path.substr(target.size());
        PathKind there = KindOfPath(file.path);
        if (there == PathKind::missing) {
            plan.push_back({from, file});
            continue;
        }
        if (there == PathKind::file && SameFileContents(from, file.path))
            continue;
        unsigned long long when = 0;
        LastWriteTimeOf(from, &when);
        // The operator's file or folder stays; the release's version goes
        // beside it.
        std::string beside = OlderVersionName(file.path, when);
        if (beside.empty()) {
            WriteLogLine("数据目录中已有操作员的同名文件，新版本的文件未能放在旁边：" + file.path);
            continue;
        }
        WriteLogLine("操作员的文件留在原处：" + file.path + "；版本的文件保留为：" + beside);
        plan.push_back({from, {beside, file.stamp}});
    }
    return plan;
}

void BringEarlierSavesHome(const std::string& live)
{
    if (KindOfPath(live) != PathKind::directory)
        return;
    std::string saved = WithoutTrailingBackslash(TempSaveDir());
    for (const std::string& copy : {saved + ".1", saved}) {
        if (KindOfPath(copy) != PathKind::directory)
            continue;
        // What an earlier setup's copy-and-strip left behind: the operator's
        // work of that day, which no run since has brought back.
        std::vector<std::string> notMoved;
        size_t home = MergeIntoLiveTree(copy, live, true, LaidFiles(), &notMoved);
        if (home != 0)
            WriteLogLine("早前安装留下的文件已放回数据目录：" + std::to_string(home) + " 个，来自 " + copy);
        for (const std::string& path : notMoved)
            WriteLogLine("早前安装留下的文件未能放回数据目录，保留：" + path);
        if (RemoveEmptyDirectory(copy))
            WriteLogLine("早前安装留下的目录已清空并删除：" + copy);
        else if (home != 0 || !notMoved.empty())
            WriteLogLine("早前安装留下的目录保留（其中还有机床参数或未能放回的文件）：" + copy);
    }
}

bool BringOperatorFilesHome(const std::string& copy, const std::string& live, const LaidFiles& laid)
{
    std::vector<std::string> notMoved;
    size_t home = MergeIntoLiveTree(copy, live, true, laid, &notMoved);
    if (home != 0)
        WriteLogLine("操作员的文件已放回数据目录：" + std::to_string(home) + " 个，来自 " + copy);
    for (const std::string& path : notMoved)
        WriteLogLine("操作员的文件未能放回数据目录，保留：" + path);
    return notMoved.empty();
}
