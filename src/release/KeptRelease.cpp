#include "release/KeptRelease.h"

#include <algorithm>
#include <ctime>
#include <set>

#include "deploy/FileTree.h"
#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "platform/DirectoryEntries.h"
#include "platform/DiskSpace.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/MultiByte.h"
#include "platform/DirectoryTree.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"
#include "platform/TempDirectory.h"
#include "setupfile/SetupDigest.h"
#include "setupfile/SetupImage.h"
#include "release/InstalledLaid.h"
#include "release/DataTreeFiles.h"
#include "release/PreviousRelease.h"
#include "release/RecordFile.h"
#include "release/RecordPlaces.h"
#include "release/RunState.h"
#include "release/TagStore.h"

const RecordKind kKeptKind = {"TLXKEPT", 2, 2, true, nullptr};

namespace {
std::string Joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "；") + part;
    return text;
}

} // namespace

std::vector<std::string> KeptTagDirectories(const KeptRecord& record)
{
    std::vector<std::string> dirs;
    for (const KeptEntry& entry : record.entries) {
        std::string dir = TagDirFor(entry.original, record.tag);
        bool known = false;
        for (const std::string& d : dirs)
            known = known || SamePath(d, dir);
        if (!known)
            dirs.push_back(dir);
    }
    return dirs;
}

std::vector<RecordFields> KeptReleaseFacts(const KeptRecord& record)
{
    std::vector<RecordFields> records = {{"when", record.when},
                                         {"setup", record.setupFile},
                                         {"digest", record.digest},
                                         {"kept", record.keptIsOlder ? "older" : "newer"}};
    for (const std::string& file : record.carried)
        records.push_back({"carries", file});
    if (!record.dataTree.empty())
        records.push_back({"data", record.dataTree});
    for (const LaidFile& file : record.laid)
        records.push_back({"laid", "installed", file.path, file.stamp});
    for (const LaidFile& file : record.keptLaid)
        records.push_back({"laid", "kept", file.path, file.stamp});
    return records;
}

bool TakeKeptReleaseFact(const RecordFields& f, KeptRecord* record)
{
    const std::string& kind = f[0];
    if (f.size() == 2 && kind == "when")
        record->when = f[1];
    else if (f.size() == 2 && kind == "setup")
        record->setupFile = f[1];
    else if (f.size() == 2 && kind == "digest")
        record->digest = f[1];
    else if (f.size() == 2 && kind == "kept" && (f[1] == "older" || f[1] == "newer"))
        record->keptIsOlder = f[1] == "older";
    else if (f.size() == 2 && kind == "carries")
        record->carried.push_back(f[1]);
    else if (f.size() == 2 && kind == "data")
        record->dataTree = f[1];
    else if (f.size() == 4 && kind == "laid" && (f[1] == "installed" || f[1] == "kept"))
        (f[1] == "installed" ? record->laid : record->keptLaid).push_back({f[2], f[3]});
    else
        return false;
    return true;
}

namespace {
std::vector<RecordFields> RecordFieldsOf(const KeptRecord& record)
{
    std::vector<RecordFields> records = {{"tag", record.tag}};
    for (const RecordFields& fact : KeptReleaseFacts(record))
        records.push_back(fact);
    for (const KeptEntry& entry : record.entries)
        records.push_back({"entry", entry.original, entry.aside, entry.held ? "held" : "none"});
    for (const std::string& dir : record.drop)
        records.push_back({"drop", dir});
    return records;
}
} // namespace

bool WriteKeptRecord(const KeptRecord& record)
{
    if (WriteWholeRecord(KeptRecordPath(), kKeptKind, RecordFieldsOf(record)))
        return true;
    TraceMessage("|E|kept release record %s not written", KeptRecordPath().c_str());
    return false;
}

namespace {
// Why what the run set aside is not the whole previous release; empty when it is.
std::string NotWholeReason(const JournalContents& run)
{
    for (const std::string& kept : run.stayed)
        if (KindOfPath(kept) != PathKind::link)
            return "留在原处：" + kept;
    std::string data = WithoutTrailingBackslash(DataProductDir());
    bool covered = false;
    for (const JournalMove& move : run.moves)
        covered = covered || SamePath(move.original, data);
    for (const std::string& absent : run.absent)
        covered = covered || SamePath(absent, data);
    return covered ? std::string() : "数据目录没有备份：" + data;
}

std::vector<DriveRoom> Rooms(const KeptRecord& record, const KeptRecord* earlier)
{
    std::vector<DriveRoom> rooms;
    for (const std::string& dir : KeptTagDirectories(record)) {
        if (KindOfPath(dir) == PathKind::missing)
            continue;
        DriveRoom room{dir.substr(0, 2), 0, 0, DirectoryTreeBytes(dir), 0};
        if (!VolumeSpace(dir, &room.freeBytes, &room.totalBytes)) {
            room.freeBytes = 0; // unknown room keeps nothing
            room.totalBytes = 0;
        }
        if (earlier)
            for (const std::string& old : KeptTagDirectories(*earlier))
                if (SamePath(old.substr(0, 2), room.drive))
                    room.freedBytes += DirectoryTreeBytes(old);
        rooms.push_back(room);
    }
    return rooms;
}

// An earlier kept release's directories, once the record no longer needs them.
void DropEarlier(KeptRecord& record)
{
    if (record.drop.empty())
        return;
    for (const std::string& dir : record.drop) {
        if (KindOfPath(dir) == PathKind::missing)
            continue;
        if (!DeleteTagDirectory(dir))
            WriteLogLine("未能删除更早保留的版本，保留：" + dir);
        else
            WriteLogLine("更早保留的版本已删除：" + dir);
    }
    record.drop.clear();
    WriteKeptRecord(record);
}

// The kept release is no longer the one before the release in place: the
// record goes first, so that a cut never leaves a record naming deleted copies.
void DiscardKeptRelease(const std::string& why)
{
    KeptRecord record;
    std::string problem;
    if (ReadKeptRecord(&record, &problem) != KeptReading::ok)
        return;
    // Its operator's files are not the release's to take along.
    std::string data = KeptDataCopy(record);
    if (!data.empty() && !BringOperatorFilesHome(data, record.dataTree, LaidFiles(record.keptLaid))) {
        WriteLogLine("未能删除更早保留的版本，保留：" + data);
        return;
    }
    if (!RemoveFile(KeptRecordPath()))
        return;
    WriteLogLine("保留的上一版本已删除（" + why + "）");
    for (const std::string& dir : KeptTagDirectories(record))
        if (!DeleteTagDirectory(dir))
            WriteLogLine("未能删除备份目录，保留：" + dir);
}

// The run state names the release the run installed, and what is kept
// now. At a start after a cut the run may have recorded it already: then it
// is left as it is.
void RecordRunRelease(const JournalContents& run, KeptChange change, bool onlyIfNew)
{
    ReleaseFields installed = InstalledReleaseOfState();
    if (onlyIfNew && (run.digest.empty() || (installed.release == run.release && installed.digest == run.digest)))
        return;
    std::string problem = RecordReleaseInstalled(run.release, run.digest, change);
    if (!problem.empty())
        WriteLogLine(problem);
    // Outlives a kept release that goes: the next update needs it.
    if (!run.dataTree.empty() && !WriteInstalledLaid(run.dataTree, run.laid))
        WriteLogLine("安装记录无法写入：" + LaidRecordFilePath());
}
void RecordRunRelease(const JournalContents& run, bool kept, bool onlyIfNew)
{
    RecordRunRelease(run, kept ? KeptChange::replaced : KeptChange::gone, onlyIfNew);
}

// The release in place installed again (a retry, /REINSTALL): what the run
// set aside is the same release and goes; the kept release stays the one
// the machine can go back to, its record naming what this run laid.
bool KeepEarlierOverReinstall(const JournalContents& run, KeptRecord earlier)
{
    earlier.laid = run.laid;
    for (const std::string& file : run.carried) {
        bool known = false;
        for (const std::string& have : earlier.carried)
            known = known || SamePath(have, file);
        if (!known)
            earlier.carried.push_back(file);
    }
    if (!WriteKeptRecord(earlier)) {
        WriteLogLine("保留的版本的记录无法写入，保留的版本不变：" + KeptRecordPath());
    }
    RecordRunRelease(run, KeptChange::unchanged, false);
    bool home = DeleteSetAsideRelease(); // its operator's files come home first
    WriteLogLine("同一版本重新安装，保留的上一版本不变：" + Joined(KeptTagDirectories(earlier)));
    return home;
}
} // namespace

std::string KeptRecordPath() { return KeptRecordFilePath(); }

std::string KeptPlacesProblem(const KeptRecord& record)
{
    if (!IsTagForm(record.tag))
        return "not a tag of this setup: " + record.tag;
    std::string carried = CarriedProblem(record.carried);
    if (!carried.empty())
        return carried;
    for (const KeptEntry& entry : record.entries) {
        if (!IsProductPlace(entry.original, record.carried))
            return "names a place that is not the product's: " + entry.original;
        if (!IsTagCopyOf(entry.aside, entry.original, record.tag))
            return "names a copy outside the kept release's directory: " + entry.aside;
    }
    for (const std::string& dir : record.drop)
        if (!IsTagDirectory(dir) || SamePath(dir.substr(dir.find_last_of('\\') + 1), record.tag))
            return "names a directory to delete that is no earlier kept release: " + dir;
    return DataTreeProblem(record.dataTree, {&record.laid, &record.keptLaid});
}

KeptReading ReadKeptRecord(KeptRecord* record, std::string* problem)
{
    *record = KeptRecord();
    RecordRead read = ReadRecordFile(KeptRecordPath(), kKeptKind);
    switch (read.state) {
    case RecordState::missing:
        return KeptReading::none;
    case RecordState::notBegun:
    case RecordState::damaged:
        // Written whole and renamed into place: one that is not whole was
        // never this setup's, and nothing is kept on its word.
        *problem = KeptRecordPath() + ": " + read.problem;
        return KeptReading::damaged;
    case RecordState::ok:
        break;
    }
    for (const RecordFields& f : read.records) {
        const std::string& kind = f[0];
        if (f.size() == 2 && kind == "tag")
            record->tag = f[1];
        else if (f.size() == 4 && kind == "entry" && (f[3] == "held" || f[3] == "none"))
            record->entries.push_back({f[1], f[2], f[3] == "held"});
        else if (f.size() == 2 && kind == "drop")
            record->drop.push_back(f[1]);
        else if (!TakeKeptReleaseFact(f, record)) {
            *problem = KeptRecordPath() + ": record not understood: " + kind;
            return KeptReading::damaged;
        }
    }
    if (record->tag.empty() || record->entries.empty()) {
        *problem = KeptRecordPath() + ": names no kept release";
        return KeptReading::damaged;
    }
    std::string places = KeptPlacesProblem(*record);
    if (!places.empty()) {
        *problem = KeptRecordPath() + ": " + places;
        *record = KeptRecord();
        return KeptReading::damaged;
    }
    return KeptReading::ok;
}

std::string KeepRefusal(const std::vector<DriveRoom>& drives)
{
    for (const DriveRoom& room : drives) {
        unsigned long long margin = std::min(kKeepMarginCap, std::max(kKeepMarginFloor, room.totalBytes / 10));
        unsigned long long after = room.freeBytes + room.freedBytes;
        if (after < margin || after - margin < room.keptBytes)
            return StrPrintf("%s 盘空间不足：可用 %llu MB，保留需要 %llu MB", room.drive.c_str(), after >> 20,
                             (margin + room.keptBytes) >> 20);
    }
    return std::string();
}

std::vector<std::string> MissingKeptDirectories(const KeptRecord& record)
{
    std::vector<std::string> missing;
    for (const KeptEntry& entry : record.entries)
        if (entry.held && KindOfPath(entry.aside) == PathKind::missing)
            missing.push_back(entry.aside);
    return missing;
}

std::string KeptDataCopy(const KeptRecord& record)
{
    for (const KeptEntry& entry : record.entries)
        if (entry.held && !record.dataTree.empty() && SamePath(entry.original, record.dataTree))
            return entry.aside;
    return std::string();
}

bool KeepOrDiscardPreviousRelease(bool keep, const std::string& setupFile)
{
    const JournalContents* run = JournalRun();
    if (!run)
        return true;
    KeptRecord record;
    record.tag = run->tag;
    for (const JournalMove& move : run->moves)
        record.entries.push_back({move.original, move.aside, true});
    for (const JournalMove& saved : run->saved)
        record.entries.push_back({saved.original, saved.aside, true});
    for (size_t i = 0; i < run->absent.size(); ++i)
        record.entries.push_back(
            {run->absent[i], JoinPath(TagDirFor(run->absent[i], run->tag), "a" + std::to_string(i + 1)), false});
    record.laid = run->laid;
    record.keptLaid = run->prior;
    record.dataTree = run->dataTree;
    record.carried = run->carried;
    KeptRecord earlier;
    std::string problem;
    bool hasEarlier = ReadKeptRecord(&earlier, &problem) == KeptReading::ok;

    // The same release again: the one kept before it stays the way back.
    ReleaseFields before = InstalledReleaseOfState();
    bool sameRelease = !run->digest.empty() && LowerMultiByte(before.digest) == LowerMultiByte(run->digest);
    if (keep && sameRelease && hasEarlier && RecordReinstall() && RecordPhase(RunPhase::done))
        return KeepEarlierOverReinstall(*run, earlier);
    if (sameRelease && !hasEarlier) {
        // Kept, it would bring back the release in place: nothing to go back to.
        WriteLogLine("上一版本没有保留，备份已删除（同一版本重新安装）");
        RecordRunRelease(*run, false, false);
        return DeleteSetAsideRelease();
    }
    std::string why = keep ? NotWholeReason(*run) : "/NOKEEP";
    if (why.empty() && record.entries.empty())
        why = "没有备份";
    if (!why.empty() || !RecordPhase(RunPhase::done)) {
        if (why.empty())
            why = "安装记录无法写入";
        WriteLogLine("上一版本没有保留，备份已删除（" + why + "）");
        RecordRunRelease(*run, false, false);
        bool home = DeleteSetAsideRelease(); // its operator's files come home first
        DiscardKeptRelease("新版本已安装，它不再是上一版本");
        return home;
    }
    // The kept release holds the release's files and the machine's values:
    // the operator's files of the data tree it set aside come home first,
    // and so do those of an earlier kept release that is dropped. Only then
    // is the room it takes measured.
    bool home = true;
    if (!DataTreeCopy(*run).empty())
        home = BringOperatorFilesHome(DataTreeCopy(*run), run->dataTree, LaidFiles(run->prior));
    if (hasEarlier && !KeptDataCopy(earlier).empty())
        home = BringOperatorFilesHome(KeptDataCopy(earlier), earlier.dataTree, LaidFiles(earlier.keptLaid)) && home;
    if (!home) {
        // Nothing is deleted that still holds an operator's file: the
        // journal stays, and the next start tries again.
        WriteLogLine("上一版本没有保留，备份目录保留（操作员的文件未能全部放回）");
        RecordRunRelease(*run, false, false);
        return false;
    }
    why = KeepRefusal(Rooms(record, hasEarlier ? &earlier : nullptr));
    if (!why.empty()) {
        WriteLogLine("上一版本没有保留，备份已删除（" + why + "）");
        RecordRunRelease(*run, false, false);
        bool home = DeleteSetAsideRelease();
        DiscardKeptRelease("新版本已安装，它不再是上一版本");
        return home;
    }
    record.when = SetupLogTimeStamp();
    record.when = TrimRight(record.when);
    record.setupFile = setupFile;
    record.digest = RecordedSetupDigest(setupFile);
    if (hasEarlier) {
        record.drop = earlier.drop;
        for (const std::string& dir : KeptTagDirectories(earlier))
            record.drop.push_back(dir);
    }
    if (!WriteKeptRecord(record)) {
        WriteLogLine("上一版本没有保留，备份已删除（记录无法写入：" + KeptRecordPath() + "）");
        RecordRunRelease(*run, false, false);
        bool home = DeleteSetAsideRelease();
        DiscardKeptRelease("新版本已安装，它不再是上一版本");
        return home;
    }
    // A cut from here on finds the record naming the run: SettleKeptRelease.
    RecordRunRelease(*run, true, false);
    DropEarlier(record);
    LetJournalGo();
    WriteLogLine("上一版本已保留：" + Joined(KeptTagDirectories(record)));
    return true;
}

bool SettleKeptRelease()
{
    const JournalContents* run = JournalRun();
    if (!run || run->phase != RunPhase::done)
        return false;
    KeptRecord record;
    std::string problem;
    bool recorded = ReadKeptRecord(&record, &problem) == KeptReading::ok;
    if (recorded && run->reinstall && !SamePath(record.tag, run->tag)) {
        // Cut while a reinstall left the kept release as it was.
        KeepEarlierOverReinstall(*run, record);
        return true;
    }
    if (recorded && SamePath(record.tag, run->tag)) {
        RecordRunRelease(*run, true, true);
        DropEarlier(record);
        LetJournalGo();
        return true;
    }
    // Cut before the record was written: the run's set-aside goes as before,
    // and an earlier kept release is no longer the one before this release.
    RecordRunRelease(*run, false, true);
    DiscardKeptRelease("新版本已安装，它不再是上一版本");
    return false;
}

