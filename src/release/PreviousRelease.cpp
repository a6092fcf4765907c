#include "release/PreviousRelease.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <set>

#include "deploy/FileTree.h"
#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "platform/DirectoryEntries.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/LinkGuard.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"
#include "platform/TempDirectory.h"
#include "release/RecordFile.h"
#include "release/DataTreeFiles.h"
#include "release/RecordPlaces.h"
#include "release/TagStore.h"

namespace {
// What this process knows of the journal: the run it began, or the earlier
// run it read at the start.
JournalContents g_run;
bool g_present = false;
std::set<std::string> g_runDirsMade;

bool Append(const std::string& line)
{
    std::string why = PrepareRecordDirectory(ParentOf(JournalPath()));
    if (!why.empty())
        TraceMessage("|E|records directory: %s", why.c_str());
    else if (AppendDurably(JournalPath(), line))
        return true;
    TraceMessage("|E|journal %s not written", JournalPath().c_str());
    return false;
}

// path lies below dir.

bool RecordedAbsent(const std::string& path)
{
    for (const std::string& absent : g_run.absent)
        if (SamePath(absent, path))
            return true;
    return false;
}

std::string BootDirPath() { return WithoutTrailingBackslash(BootDir()); }

std::string AsideRootFor(const std::string& path) { return PreviousReleaseRootFor(path); }

std::string RunDirFor(const std::string& path) { return JoinPath(AsideRootFor(path), g_run.tag); }

// This run's directory on path's drive, made new the first time: a run never
// moves into a directory that was there before it.
bool EnsureRunDir(const std::string& path)
{
    std::string dir = RunDirFor(path);
    if (g_runDirsMade.count(LowerMultiByte(dir)))
        return true;
    std::string root = AsideRootFor(path);
    // The data drive's aside root is anyone's to plant a junction in the
    // place of: nothing is made or moved through a link.
    if (!LinkOnPath(root).empty())
        return false;
    if (!IsDirectory(root)) {
        if (!MakeDirectory(root))
            return false;
        HideFile(root);
    }
    if (!MakeNewDirectory(dir))
        return false;
    g_runDirsMade.insert(LowerMultiByte(dir));
    return true;
}

// The aside copy of an entry below a moved tree, if it was moved after all
// (the user closed the program and tried again).
bool HasAsideCopy(const std::string& path)
{
    for (const JournalMove& move : g_run.moves)
        if (IsSelfOrWithin(path, move.original) &&
            KindOfPath(move.aside + path.substr(move.original.size())) != PathKind::missing)
            return true;
    return false;
}

// Entries an undo leaves where they are: the boot directory (the journal's
// home) and what stayed in place during the set-aside.
bool IsFixed(const std::string& path)
{
    if (IsSelfOrWithin(path, BootDirPath()))
        return true;
    for (const std::string& kept : g_run.stayed)
        if (SamePath(kept, path) && !HasAsideCopy(kept))
            return true;
    return false;
}

bool HoldsFixed(const std::string& dir)
{
    if (IsStrictlyWithin(BootDirPath(), dir))
        return true;
    for (const std::string& kept : g_run.stayed)
        if (IsStrictlyWithin(kept, dir) && !HasAsideCopy(kept))
            return true;
    return false;
}

void Stay(const std::string& path, bool named, AsideResult& result)
{
    if (!Append(JournalStayedLine(path)))
        result.journalWritten = false;
    g_run.stayed.push_back(path);
    if (named)
        result.stayed.push_back(path);
}

// Never a copy: what cannot be renamed stays where it is and is recorded.
void MoveInto(const std::string& from, const std::string& to, AsideResult& result)
{
    if (!result.journalWritten)
        return;
    MoveByRenames(from, to, [&](const std::string& path, Stuck why) {
        // A link stays unnamed: what it points to is not the product's.
        if (result.journalWritten)
            Stay(path, why == Stuck::notMoved, result);
    });
}

void NotBack(UndoResult& result, const std::string& original, const std::string& copy)
{
    result.whole = false;
    result.notBack.push_back(copy.empty() ? original : original + " <- " + copy);
    TraceMessage("|E|PutPreviousReleaseBack: %s not put back (%s)", original.c_str(), copy.c_str());
}

// The aside copy of original, recorded (with its run directory made) before
// anything moves into it: a tree moved in part before (a held file stayed)
// goes on into the same copy. Empty when nothing may be moved (original is
// then recorded as stayed, or the journal could not be written).
std::string AsideCopyFor(const std::string& original, AsideResult& result)
{
    for (const JournalMove& move : g_run.moves)
        if (SamePath(move.original, original))
            return move.aside;
    if (!EnsureRunDir(original)) {
        Stay(original, true, result);
        return std::string();
    }
    JournalMove move{original, JoinPath(RunDirFor(original), std::to_string(g_run.moves.size() + 1))};
    // Written down before the move: a cut between the two finds nothing
    // aside and leaves the original where it is.
    if (!Append(JournalMoveLine(move))) {
        result.journalWritten = false;
        return std::string();
    }
    g_run.moves.push_back(move);
    return move.aside;
}

bool DiscardChildren(const std::string& dir, const std::string& target, UndoResult& result);

// Moves what the run laid at path into target, leaving what is fixed; false
// when something new could be neither moved nor deleted.
bool DiscardEntry(const std::string& path, const std::string& target, PathKind kind, UndoResult& result)
{
    if (kind == PathKind::missing || kind == PathKind::link || IsFixed(path))
        return true;
    if (kind == PathKind::directory && HoldsFixed(path)) {
        MakeDirectoryPath(target);
        return DiscardChildren(path, target, result);
    }
    MakeDirectoryPath(ParentOf(target));
    if (KindOfPath(target) == PathKind::missing && MovePath(path, target, false))
        return true;
    if (kind == PathKind::file ? RemoveFile(path) : DeleteTree(path))
        return true;
    NotBack(result, path, std::string());
    return false;
}

bool DiscardChildren(const std::string& dir, const std::string& target, UndoResult& result)
{
    bool all = true;
    for (const DirectoryEntry& entry : ListEntries(dir)) {
        std::string path = JoinPath(dir, entry.name), child = JoinPath(target, entry.name);
        if (path.empty() || child.empty()) {
            NotBack(result, dir, std::string()); // too long to be moved or deleted
            all = false;
        } else {
            all = DiscardEntry(path, child, KindOfAttributes(entry.attributes), result) && all;
        }
    }
    return all;
}

bool IsLiveDataTree(const std::string& path) { return !g_run.dataTree.empty() && SamePath(path, g_run.dataTree); }

// A run of an earlier setup, which copied the data tree to TempSaveDir and
// back, cut while state 9 copied it back (CopyFile writes from the front):
// the set-aside tree holds the file whole, and the fresher half copy must not
// take its place as the newer version. This setup copies nothing.
void RemoveHalfRestoredFiles(const std::string& tree, const std::string& saved)
{
    ForEachEntry(tree, "*", [&](const DirectoryEntry& entry) {
        std::string path = JoinPath(tree, entry.name), copy = JoinPath(saved, entry.name);
        if (path.empty() || copy.empty() || entry.IsReparsePoint() || IsFixed(path))
            return true;
        if (entry.IsDirectory())
            RemoveHalfRestoredFiles(path, copy);
        else if (KindOfPath(copy) == PathKind::file && !SameFileContents(path, copy) && FileIsPrefixOf(path, copy))
            RemoveFile(path);
        return true;
    });
}

// In the data tree only the run's own files and the machine's values go:
// a file the operator saved after a cut is not the run's to take.
bool DiscardFromDataTree(const std::string& tree, const std::string& target, UndoResult& result)
{
    std::string saved = WithoutTrailingBackslash(TempSaveDir());
    if (KindOfPath(saved) == PathKind::directory)
        RemoveHalfRestoredFiles(tree, saved);
    std::vector<std::string> notMoved;
    MoveReleaseFilesOut(tree, target, LaidFiles(g_run.laid), &notMoved, IsFixed);
    bool all = true;
    for (const std::string& path : notMoved) {
        if (!RemoveFile(path)) {
            NotBack(result, path, std::string());
            all = false;
        }
    }
    return all;
}

// What the run laid in the original places goes into the run's discard area
// (same volume, renames), so that the previous release can come back whole.
bool DiscardWhatTheRunLaid(UndoResult& result)
{
    bool all = true;
    for (size_t i = 0; i < g_run.moves.size(); ++i) {
        const std::string& original = g_run.moves[i].original;
        std::string target = JoinPath(JoinPath(RunDirFor(original), "discard"), "m" + std::to_string(i + 1));
        PathKind kind = KindOfPath(original);
        if (kind == PathKind::directory && IsLiveDataTree(original))
            all = DiscardFromDataTree(original, target, result) && all;
        else if (kind == PathKind::directory && !IsFixed(original))
            all = DiscardChildren(original, target, result) && all; // the move back merges into it
        else
            all = DiscardEntry(original, target, kind, result) && all;
    }
    for (size_t i = 0; i < g_run.absent.size(); ++i) {
        const std::string& path = g_run.absent[i];
        std::string target = JoinPath(JoinPath(RunDirFor(path), "discard"), "a" + std::to_string(i + 1));
        PathKind kind = KindOfPath(path);
        if (kind == PathKind::directory && IsLiveDataTree(path))
            all = DiscardFromDataTree(path, target, result) && all;
        else
            all = DiscardEntry(path, target, kind, result) && all;
    }
    return all;
}

// Merges the aside copy back into the original place; what is already
// there (a file of the same name) or cannot be moved stays aside and is named.
void MoveBack(const std::string& aside, const std::string& original, UndoResult& result)
{
    if (IsLiveDataTree(original)) {
        // Files the operator saved there after a cut stay: two versions of
        // one file are both kept, the newer in place.
        std::vector<std::string> notMoved;
        MergeIntoLiveTree(aside, original, false, LaidFiles(), &notMoved);
        for (const std::string& path : notMoved)
            NotBack(result, original + path.substr(aside.size()), path);
        return;
    }
    MoveByRenames(aside, original, [&](const std::string& path, Stuck why) {
        if (why == Stuck::notMoved)
            NotBack(result, original + path.substr(aside.size()), path);
    });
}

// Every directory of the run's; false when one stays (named in *left).
bool RemoveRunDirectories(std::vector<std::string>* left)
{
    std::set<std::string> dirs;
    for (const JournalMove& move : g_run.moves)
        dirs.insert(RunDirFor(move.original));
    for (const JournalMove& saved : g_run.saved)
        dirs.insert(RunDirFor(saved.original));
    for (const std::string& path : g_run.absent)
        dirs.insert(RunDirFor(path)); // its discard area
    // A run directory is made before the move into it is recorded: a cut
    // between the two leaves it with no record but the tag, which is written
    // first and names no directory that existed before the run.
    if (!g_run.tag.empty())
        for (const std::string& dir : TagDirectories(g_run.tag))
            dirs.insert(dir);
    bool all = true;
    for (const std::string& dir : dirs) {
        if (!DeleteTagDirectory(dir)) {
            all = false;
            left->push_back(dir);
        }
    }
    return all;
}

void ForgetJournal()
{
    RemoveFile(JournalPath());
    g_run = JournalContents();
    g_present = false;
    g_runDirsMade.clear();
}

// After a good update the data tree set aside may still hold the
// operator's files (the machine's values were not carried back, or files
// the setup cannot tell): they come into the live tree before it goes.
bool BringHomeFromSetAside()
{
    if (g_run.phase != RunPhase::done)
        return true; // an undo has put everything back, or moves it back itself
    std::string copy = DataTreeCopy(g_run);
    return copy.empty() || BringOperatorFilesHome(copy, g_run.dataTree, LaidFiles(g_run.prior));
}

// Deletes the run's directories; the journal goes once they are gone.
// False when an operator's file could not come home and stays aside.
bool CleanUp(bool lastTry)
{
    if (!BringHomeFromSetAside()) {
        // What could not come home is never deleted: the directories stay,
        // named, and the journal goes only at the last try.
        if (!lastTry) {
            WriteLogLine("未能删除备份目录，下次安装时再试：" + RunDirFor(g_run.dataTree));
            return false;
        }
        WriteLogLine("未能删除备份目录，保留：" + RunDirFor(g_run.dataTree));
        ForgetJournal();
        return false;
    }
    std::vector<std::string> left;
    if (RemoveRunDirectories(&left) || lastTry) {
        for (const std::string& dir : left)
            WriteLogLine("未能删除备份目录，保留：" + dir);
        ForgetJournal();
        return true;
    }
    for (const std::string& dir : left)
        WriteLogLine("未能删除备份目录，下次安装时再试：" + dir);
    return true;
}

} // namespace

std::string JournalPath() { return JournalFilePath(); }

std::string JournalPlacesProblem(const JournalContents& run)
{
    if (!run.tag.empty() && !IsTagForm(run.tag))
        return "not a tag of this setup: " + run.tag;
    std::string carried = CarriedProblem(run.carried);
    if (!carried.empty())
        return carried;
    for (const std::vector<JournalMove>* list : {&run.moves, &run.saved})
        for (const JournalMove& move : *list) {
            if (!IsProductPlace(move.original, run.carried))
                return "names a place that is not the product's: " + move.original;
            if (!IsTagCopyOf(move.aside, move.original, run.tag))
                return "names a copy outside the run's directory: " + move.aside;
        }
    for (const std::vector<std::string>* list : {&run.stayed, &run.absent})
        for (const std::string& path : *list)
            if (!IsProductPlace(path, run.carried))
                return "names a place that is not the product's: " + path;
    return DataTreeProblem(run.dataTree, {&run.laid, &run.prior});
}

EarlierRun InspectJournal(JournalContents* run, std::string* problem, std::string* cutEarly)
{
    *run = JournalContents();
    RecordRead read = ReadRecordFile(JournalPath(), kJournalKind);
    switch (read.state) {
    case RecordState::missing:
        return EarlierRun::none;
    case RecordState::notBegun:
        *cutEarly = read.problem;
        return EarlierRun::none;
    case RecordState::damaged:
        *problem = read.problem;
        return EarlierRun::unreadable;
    case RecordState::ok:
        break;
    }
    if (TakeJournalRecords(read.records, run, problem) != JournalReading::ok)
        return EarlierRun::unreadable;
    *problem = JournalPlacesProblem(*run);
    if (!problem->empty()) {
        *run = JournalContents(); // nothing is moved or deleted on its word
        return EarlierRun::unreadable;
    }
    return run->phase == RunPhase::done || run->phase == RunPhase::undone ? EarlierRun::cleanUp : EarlierRun::unfinished;
}

EarlierRun ReadEarlierRun(std::string* problem)
{
    std::string cutEarly;
    EarlierRun earlier = InspectJournal(&g_run, problem, &cutEarly);
    if (!cutEarly.empty()) {
        // Cut while its first line was written: nothing was moved on its word.
        WriteLogLine("安装记录没有写完第一行，尚未移动任何文件，已删除：" + JournalPath() + "（" + cutEarly + "）");
        ForgetJournal();
    }
    g_present = earlier == EarlierRun::cleanUp || earlier == EarlierRun::unfinished;
    return earlier;
}

bool BeginSetAside(const std::string& release, const std::string& digest, const std::vector<LaidFile>& prior)
{
    // A start-up undo that was whole but could not delete everything has
    // left its journal: what stays is named, and this run begins its own.
    if (g_present && (g_run.phase == RunPhase::done || g_run.phase == RunPhase::undone))
        CleanUp(true);
    if (KindOfPath(JournalPath()) != PathKind::missing)
        return false; // an earlier run's journal that was not settled
    g_run = JournalContents();
    g_runDirsMade.clear();
    g_run.tag = NewTag();
    g_present = true;
    g_run.release = release;
    g_run.digest = digest;
    g_run.prior = prior;
    if (Append(JournalHeaderLine()) && Append(JournalTagLine(g_run.tag)) &&
        Append(JournalReleaseLine(release, digest)) && (prior.empty() || Append(JournalLaidLines("prior", prior))) &&
        Append(JournalPhaseLine(RunPhase::settingAside)))
        return true;
    ForgetJournal();
    return false;
}

AsideResult SetAside(const std::string& path)
{
    AsideResult result;
    if (!g_present || g_run.tag.empty()) {
        result.journalWritten = false; // nothing is moved that no journal names
        return result;
    }
    std::string original = WithoutTrailingBackslash(path);
    if (original.empty() || IsSelfOrWithin(original, BootDirPath()))
        return result;
    PathKind kind = KindOfPath(original);
    if (kind == PathKind::directory && IsProtectedFromDeletion(original)) {
        // The same border as the deletion's: never past the product's trees.
        TraceMessage("|E|SetAside: %s is protected and stays", original.c_str());
        Stay(original, true, result);
        return result;
    }
    if (kind == PathKind::missing) {
        // What the package lays there is new: putting the previous release
        // back removes it.
        bool known = RecordedAbsent(original);
        for (const JournalMove& move : g_run.moves)
            known = known || SamePath(move.original, original);
        if (!known) {
            result.journalWritten = Append(JournalAbsentLine(original));
            g_run.absent.push_back(original);
        }
        return result;
    }
    if (kind == PathKind::link) {
        Stay(original, false, result);
        return result;
    }
    std::string aside = AsideCopyFor(original, result);
    if (!aside.empty())
        MoveInto(original, aside, result);
    return result;
}

AsideResult SetAsideReleaseFilesOf(const std::string& tree)
{
    std::string original = WithoutTrailingBackslash(tree);
    if (!g_present || g_run.tag.empty() || original.empty() || KindOfPath(original) != PathKind::directory ||
        IsSelfOrWithin(original, BootDirPath()) || IsProtectedFromDeletion(original))
        return SetAside(original); // absent, a link, or never opened: as any entry
    AsideResult result;
    std::string aside = AsideCopyFor(original, result);
    if (aside.empty())
        return result;
    // One move line for the tree: an undo merges whatever reached its copy
    // back, file by file, so a cut between two renames loses nothing.
    std::vector<std::string> notMoved;
    MoveReleaseFilesOut(original, aside, LaidFiles(g_run.prior), &notMoved);
    for (const std::string& path : notMoved)
        if (result.journalWritten)
            Stay(path, true, result);
    return result;
}

bool MarkDataTree(const std::string& path)
{
    if (!g_present)
        return false;
    if (!Append(JournalDataTreeLine(path)))
        return false;
    g_run.dataTree = path;
    return true;
}

bool RecordLaid(const std::vector<LaidFile>& files)
{
    if (!g_present)
        return false;
    // Only the tree this run set aside is the release's data tree.
    std::vector<LaidFile> within;
    for (const LaidFile& file : files)
        if (!g_run.dataTree.empty() && IsStrictlyWithin(file.path, g_run.dataTree))
            within.push_back(file);
    if (within.empty())
        return true;
    if (!Append(JournalLaidLines("laid", within)))
        return false;
    g_run.laid.insert(g_run.laid.end(), within.begin(), within.end());
    return true;
}

bool RecordWhatThePackageLaid()
{
    if (!g_present)
        return true;
    std::string tree = g_run.dataTree;
    if (tree.empty())
        return true;
    // Only a tree that was not there before holds nothing but the package's:
    // where the operator's files stayed in place, a listing would take them
    // for the package's, and an undo would take them away.
    if (!RecordedAbsent(tree) || KindOfPath(tree) != PathKind::directory)
        return true;
    std::vector<LaidFile> laid;
    ListLaidFiles(tree, tree, &laid);
    return RecordLaid(laid);
}

bool RecordPhase(RunPhase phase)
{
    if (!Append(JournalPhaseLine(phase)))
        return false;
    g_run.phase = std::max(g_run.phase, phase);
    return true;
}

bool SaveSharedFile(const std::string& path)
{
    // Named as the release's before anything is recorded of it: an undo
    // touches no other file of the system's.
    bool named = false;
    for (const std::string& carried : g_run.carried)
        named = named || SamePath(carried, path);
    if (!named) {
        if (!IsSharedSystemFile(path) || !Append(JournalCarriesLine(path)))
            return false;
        g_run.carried.push_back(path);
    }
    PathKind kind = KindOfPath(path);
    if (kind == PathKind::missing) {
        if (RecordedAbsent(path))
            return true;
        if (!Append(JournalAbsentLine(path)))
            return false;
        g_run.absent.push_back(path);
        return true;
    }
    if (kind != PathKind::file)
        return false;
    for (const JournalMove& saved : g_run.saved)
        if (SamePath(saved.original, path))
            return true;
    if (!EnsureRunDir(path))
        return false;
    JournalMove saved{path, JoinPath(RunDirFor(path), "shared" + std::to_string(g_run.saved.size() + 1))};
    std::string part = saved.aside + ".part";
    unsigned long error = 0;
    // The copy is whole before the record names it; the original stays in
    // force until the caller replaces it.
    if (!CopyFileOver(path, part, &error))
        return false;
    if (!Append(JournalSavedLine(saved))) {
        RemoveFile(part);
        return false;
    }
    g_run.saved.push_back(saved);
    return MovePath(part, saved.aside, false);
}

UndoResult PutPreviousReleaseBack()
{
    UndoResult result;
    if (!g_present)
        return result;
    bool laid = g_run.phase >= RunPhase::packageStarted && g_run.phase != RunPhase::done;
    if (laid && g_run.phase < RunPhase::discarded) {
        // Recorded once everything new is out of the way: an undo cut after
        // this never takes what it has already moved back for something new.
        if (!DiscardWhatTheRunLaid(result))
            return result;
        if (!RecordPhase(RunPhase::discarded)) {
            NotBack(result, JournalPath(), std::string());
            return result;
        }
    }
    if (g_run.phase < RunPhase::undone) {
        for (auto it = g_run.moves.rbegin(); it != g_run.moves.rend(); ++it)
            MoveBack(it->aside, it->original, result);
        for (auto it = g_run.saved.rbegin(); it != g_run.saved.rend(); ++it)
            if (KindOfPath(it->aside) == PathKind::file && !ReplaceFileAtomically(it->aside, it->original))
                NotBack(result, it->original, it->aside);
        if (!result.whole) {
            for (const std::string& line : result.notBack)
                WriteLogLine("未能恢复" + line);
            return result;
        }
        RecordPhase(RunPhase::undone);
    }
    CleanUp(false);
    return result;
}

bool DeleteSetAsideRelease()
{
    if (!g_present)
        return true;
    if (g_run.phase != RunPhase::done && !RecordPhase(RunPhase::done)) {
        // Without the record a cut during the deletion would undo a finished
        // update: the journal goes first, and what stays is named as a leftover.
        WriteLogLine("安装记录无法写入，备份目录直接删除：" + JournalPath());
        RemoveFile(JournalPath());
        g_run.phase = RunPhase::done; // the update is done: the operator's files still come home
        return CleanUp(true);
    }
    return CleanUp(false);
}

void FinishEarlierCleanUp() { CleanUp(true); }

bool RecordReinstall()
{
    if (!g_present)
        return false;
    if (!g_run.reinstall && !Append(JournalReinstallLine()))
        return false;
    g_run.reinstall = true;
    return true;
}

DataTreeHome BringSavedDataTreeHome(const std::string& live)
{
    DataTreeHome home;
    if (g_present)
        home.copy = DataTreeCopy(g_run);
    if (home.copy.empty())
        return home;
    // The package's files are known only in the tree this run set aside: a
    // release that names another data tree meets every file there as the
    // operator's.
    LaidFiles laid = SamePath(live, g_run.dataTree) ? LaidFiles(g_run.laid) : LaidFiles();
    home.moved = MoveSavedFilesHome(home.copy, live, laid, LaidFiles(g_run.prior), &home.notMoved);
    return home;
}


const JournalContents* JournalRun() { return g_present ? &g_run : nullptr; }

void LetJournalGo() { ForgetJournal(); }

void NameLeftoverAsideDirectories(const std::string& keptTag)
{
    std::vector<std::string> roots = {AsideRootFor(InstallRoot())};
    if (!SamePath(AsideRootFor(DataRoot()), roots[0]))
        roots.push_back(AsideRootFor(DataRoot()));
    for (const std::string& root : roots)
        for (const DirectoryEntry& entry : ListEntries(root))
            if ((!g_present || !SamePath(entry.name, g_run.tag)) && !SamePath(entry.name, keptTag))
                WriteLogLine("遗留的备份目录，未作改动：" + JoinPath(root, entry.name));
}
