#include "deploy/KeptRelease.h"

#include <algorithm>
#include <ctime>
#include <set>

#include "deploy/FileTree.h"
#include "deploy/JournalRecords.h"
#include "deploy/PreviousRelease.h"
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

namespace {
const char kRecordMagic[] = "TLXKEPT";
const char kSwapMagic[] = "TLXSWAP";
const char kFormat[] = "1";

std::string BootDirPath() { return WithoutTrailingBackslash(BootDir()); }

std::string Joined(const std::vector<std::string>& parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "；") + part;
    return text;
}

std::string DirOfTag(const std::string& original, const std::string& tag) { return JoinPath(PreviousReleaseRootFor(original), tag); }

// Every directory of a tag, one per drive concerned.
std::vector<std::string> TagDirectories(const KeptRecord& record)
{
    std::vector<std::string> dirs;
    for (const KeptEntry& entry : record.entries) {
        std::string dir = DirOfTag(entry.original, record.tag);
        bool known = false;
        for (const std::string& d : dirs)
            known = known || SamePath(d, dir);
        if (!known)
            dirs.push_back(dir);
    }
    return dirs;
}

// Reads the CRC-checked lines of a record file; a last line without its end
// was cut short while it was written and never counted.
KeptReading ReadRecordLines(const std::string& path, const char* magic, std::vector<std::vector<std::string>>* lines,
                            std::string* problem)
{
    lines->clear();
    if (KindOfPath(path) == PathKind::missing)
        return KeptReading::none;
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes)) {
        *problem = path + ": cannot be read";
        return KeptReading::damaged;
    }
    std::string text(bytes.begin(), bytes.end());
    size_t start = 0;
    for (int number = 1;; ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            break;
        std::vector<std::string> fields;
        bool sound = SplitRecordLine(text.substr(start, end - start), &fields) && !fields.empty();
        if (sound && number == 1)
            sound = fields.size() == 2 && fields[0] == magic && fields[1] == kFormat;
        if (!sound) {
            *problem = path + ": line " + std::to_string(number) + " damaged";
            return KeptReading::damaged;
        }
        if (number > 1)
            lines->push_back(fields);
        start = end + 1;
    }
    return lines->empty() && start == 0 ? KeptReading::none : KeptReading::ok;
}

std::string RecordText(const KeptRecord& record)
{
    std::string text = RecordLine({kRecordMagic, kFormat}) + RecordLine({"tag", record.tag}) +
                       RecordLine({"when", record.when}) + RecordLine({"setup", record.setupFile}) +
                       RecordLine({"digest", record.digest}) +
                       RecordLine({"kept", record.keptIsOlder ? "older" : "newer"});
    for (const KeptEntry& entry : record.entries)
        text += RecordLine({"entry", entry.original, entry.aside});
    for (const std::string& dir : record.drop)
        text += RecordLine({"drop", dir});
    return text;
}

// Written whole beside the record, then put in its place in one step.
bool WriteKeptRecord(const KeptRecord& record)
{
    std::string part = KeptRecordPath() + ".new";
    RemoveFile(part);
    if (AppendDurably(part, RecordText(record)) && ReplaceFileAtomically(part, KeptRecordPath()))
        return true;
    RemoveFile(part);
    TraceMessage("|E|kept release record %s not written", KeptRecordPath().c_str());
    return false;
}

// Why what the run set aside is not the whole previous release; empty when it is.
std::string NotWholeReason(const JournalContents& run)
{
    for (const std::string& kept : run.kept)
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
    for (const std::string& dir : TagDirectories(record)) {
        if (KindOfPath(dir) == PathKind::missing)
            continue;
        DriveRoom room{dir.substr(0, 2), 0, 0, DirectoryTreeBytes(dir), 0};
        if (!VolumeSpace(dir, &room.freeBytes, &room.totalBytes)) {
            room.freeBytes = 0; // unknown room keeps nothing
            room.totalBytes = 0;
        }
        if (earlier)
            for (const std::string& old : TagDirectories(*earlier))
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
        ClearAttributes(dir);
        if (!DeleteTree(dir))
            WriteLogLine("未能删除更早保留的版本，保留：" + dir);
        else
            WriteLogLine("更早保留的版本已删除：" + dir);
        RemoveEmptyDirectory(ParentOf(dir));
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
    if (!RemoveFile(KeptRecordPath()))
        return;
    WriteLogLine("保留的上一版本已删除（" + why + "）");
    for (const std::string& dir : TagDirectories(record)) {
        ClearAttributes(dir);
        if (KindOfPath(dir) != PathKind::missing && !DeleteTree(dir))
            WriteLogLine("未能删除备份目录，保留：" + dir);
        RemoveEmptyDirectory(ParentOf(dir));
    }
}

// Moves from onto to by renames, file by file (a held file is found and
// named under Wine as on Windows), merging into directories already there.
// Links and the boot directory stay where they are.
void MoveMerging(const std::string& from, const std::string& to, std::vector<std::string>* notMoved)
{
    PathKind kind = KindOfPath(from);
    if (kind == PathKind::missing || kind == PathKind::link || IsSelfOrWithin(from, BootDirPath()))
        return;
    PathKind target = KindOfPath(to);
    if (kind == PathKind::file) {
        MakeDirectoryPath(ParentOf(to));
        if (target != PathKind::missing || !MovePath(from, to, false))
            notMoved->push_back(from);
        return;
    }
    if (target != PathKind::directory) {
        MakeDirectoryPath(ParentOf(to));
        if (target != PathKind::missing || !MakeDirectory(to)) {
            notMoved->push_back(from);
            return;
        }
    }
    std::vector<std::string> names;
    ForEachEntry(from, "*", [&](const DirectoryEntry& entry) {
        names.push_back(entry.name);
        return true;
    });
    for (const std::string& name : names)
        MoveMerging(JoinPath(from, name), JoinPath(to, name), notMoved);
    RemoveEmptyDirectory(from); // stays when something in it stayed
}

// Empty directories below dir, then dir; true when dir is gone.
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

struct SwapEntry {
    std::string original, kept, fresh; // the place, the kept copy, where the current one goes
};
struct SwapJournal {
    std::string from;        // the kept release's tag
    KeptRecord next;         // the record once swapped: the current release under a fresh tag
    std::vector<SwapEntry> entries;
    int phase = 0;           // 0 moving the current release out, 1 cleared, 2 swapped
};

bool AppendSwap(const std::vector<std::string>& fields)
{
    if (AppendDurably(SwapJournalPath(), RecordLine(fields)))
        return true;
    TraceMessage("|E|swap journal %s not written", SwapJournalPath().c_str());
    return false;
}

KeptReading ReadSwap(SwapJournal* swap, std::string* problem)
{
    std::vector<std::vector<std::string>> lines;
    KeptReading reading = ReadRecordLines(SwapJournalPath(), kSwapMagic, &lines, problem);
    if (reading != KeptReading::ok)
        return reading;
    for (const std::vector<std::string>& f : lines) {
        const std::string& kind = f[0];
        if (f.size() == 2 && kind == "from")
            swap->from = f[1];
        else if (f.size() == 2 && kind == "to")
            swap->next.tag = f[1];
        else if (f.size() == 2 && kind == "when")
            swap->next.when = f[1];
        else if (f.size() == 2 && kind == "setup")
            swap->next.setupFile = f[1];
        else if (f.size() == 2 && kind == "digest")
            swap->next.digest = f[1];
        else if (f.size() == 2 && kind == "kept")
            swap->next.keptIsOlder = f[1] == "older";
        else if (f.size() == 4 && kind == "entry")
            swap->entries.push_back({f[1], f[2], f[3]});
        else if (f.size() == 2 && kind == "phase" && (f[1] == "cleared" || f[1] == "swapped"))
            swap->phase = std::max(swap->phase, f[1] == "cleared" ? 1 : 2);
        else {
            *problem = SwapJournalPath() + ": record not understood: " + kind;
            return KeptReading::damaged;
        }
    }
    if (swap->from.empty() || swap->next.tag.empty()) {
        *problem = SwapJournalPath() + ": the tags are missing";
        return KeptReading::damaged;
    }
    for (const SwapEntry& entry : swap->entries)
        swap->next.entries.push_back({entry.original, entry.fresh});
    return KeptReading::ok;
}

std::string FreshTag(const KeptRecord& record)
{
    unsigned long base = static_cast<unsigned long>(time(nullptr)) ^ (static_cast<unsigned long>(CurrentProcessId()) << 20);
    for (unsigned long n = 0;; ++n) {
        KeptRecord probe = record;
        probe.tag = StrPrintf("%08lx", (base + n) & 0xffffffffUL);
        bool free = !SamePath(probe.tag, record.tag);
        for (const std::string& dir : TagDirectories(probe))
            free = free && KindOfPath(dir) == PathKind::missing;
        if (free)
            return probe.tag;
    }
}

// The current release goes back from where the swap moved it.
void MoveCurrentBack(const SwapJournal& swap, std::vector<std::string>* notMoved)
{
    for (auto it = swap.entries.rbegin(); it != swap.entries.rend(); ++it)
        MoveMerging(it->fresh, it->original, notMoved);
}

// The swap's last step: the record names the release now kept, the emptied
// directories and the journal go. Run again after a cut, it does the same.
void SettleSwap(const SwapJournal& swap, SwapOutcome* outcome)
{
    if (!WriteKeptRecord(swap.next)) {
        outcome->kind = SwapOutcome::notWhole;
        outcome->notMoved.push_back(KeptRecordPath());
        return;
    }
    KeptRecord old = swap.next;
    old.tag = swap.from;
    for (const std::string& dir : TagDirectories(old))
        if (!RemoveEmptyTree(dir))
            WriteLogLine("交换后备份目录不为空，保留：" + dir);
    RemoveFile(SwapJournalPath());
    WriteLogLine("已回到保留的版本；原来的版本已保留");
    outcome->kind = SwapOutcome::swapped;
}

// From the kept release into the original places, then settle.
void MoveKeptIn(const SwapJournal& swap, SwapOutcome* outcome)
{
    for (const SwapEntry& entry : swap.entries)
        MoveMerging(entry.kept, entry.original, &outcome->notMoved);
    if (!outcome->notMoved.empty() || !AppendSwap({"phase", "swapped"})) {
        outcome->kind = SwapOutcome::notWhole;
        for (const std::string& path : outcome->notMoved)
            WriteLogLine("交换未完成，未能放回：" + path);
        return;
    }
    SettleSwap(swap, outcome);
}

// Before the current release was wholly out of the way: it goes back, the
// kept one is untouched.
void UndoSwap(const SwapJournal& swap, SwapOutcome* outcome)
{
    std::vector<std::string> notBack;
    MoveCurrentBack(swap, &notBack);
    if (!notBack.empty()) {
        outcome->kind = SwapOutcome::notWhole;
        for (const std::string& path : notBack)
            WriteLogLine("交换未完成，未能放回：" + path);
        outcome->notMoved.insert(outcome->notMoved.end(), notBack.begin(), notBack.end());
        return;
    }
    for (const std::string& dir : TagDirectories(swap.next))
        RemoveEmptyTree(dir);
    RemoveFile(SwapJournalPath());
    outcome->kind = SwapOutcome::undone;
}
} // namespace

std::string KeptRecordPath() { return BootDir() + "SetUp.kept"; }
std::string SwapJournalPath() { return BootDir() + "SetUp.swap"; }

KeptReading ReadKeptRecord(KeptRecord* record, std::string* problem)
{
    *record = KeptRecord();
    std::vector<std::vector<std::string>> lines;
    KeptReading reading = ReadRecordLines(KeptRecordPath(), kRecordMagic, &lines, problem);
    if (reading != KeptReading::ok)
        return reading;
    for (const std::vector<std::string>& f : lines) {
        const std::string& kind = f[0];
        if (f.size() == 2 && kind == "tag")
            record->tag = f[1];
        else if (f.size() == 2 && kind == "when")
            record->when = f[1];
        else if (f.size() == 2 && kind == "setup")
            record->setupFile = f[1];
        else if (f.size() == 2 && kind == "digest")
            record->digest = f[1];
        else if (f.size() == 2 && kind == "kept")
            record->keptIsOlder = f[1] == "older";
        else if (f.size() == 3 && kind == "entry")
            record->entries.push_back({f[1], f[2]});
        else if (f.size() == 2 && kind == "drop")
            record->drop.push_back(f[1]);
        else {
            *problem = KeptRecordPath() + ": record not understood: " + kind;
            return KeptReading::damaged;
        }
    }
    if (record->tag.empty() || record->entries.empty()) {
        *problem = KeptRecordPath() + ": names no kept release";
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
    for (const std::string& dir : TagDirectories(record))
        if (KindOfPath(dir) != PathKind::directory)
            missing.push_back(dir);
    return missing;
}

void KeepOrDiscardPreviousRelease(bool keep, const std::string& setupFile)
{
    const JournalContents* run = JournalRun();
    if (!run)
        return;
    KeptRecord record;
    record.tag = run->tag;
    for (const JournalMove& move : run->moves)
        record.entries.push_back({move.original, move.aside});
    for (const JournalMove& saved : run->saved)
        record.entries.push_back({saved.original, saved.aside});
    for (size_t i = 0; i < run->absent.size(); ++i)
        record.entries.push_back({run->absent[i], JoinPath(DirOfTag(run->absent[i], run->tag), "a" + std::to_string(i + 1))});
    KeptRecord earlier;
    std::string problem;
    bool hasEarlier = ReadKeptRecord(&earlier, &problem) == KeptReading::ok;

    std::string why = keep ? NotWholeReason(*run) : "/NOKEEP";
    if (why.empty())
        why = record.entries.empty() ? "没有备份" : KeepRefusal(Rooms(record, hasEarlier ? &earlier : nullptr));
    if (!why.empty() || !RecordPhase(RunPhase::done)) {
        if (why.empty())
            why = "安装记录无法写入";
        WriteLogLine("上一版本没有保留，备份已删除（" + why + "）");
        DeleteSetAsideRelease();
        DiscardKeptRelease("新版本已安装，它不再是上一版本");
        return;
    }
    record.when = SetupLogTimeStamp();
    record.when = TrimRight(record.when);
    record.setupFile = setupFile;
    record.digest = RecordedSetupDigest(setupFile);
    if (hasEarlier) {
        record.drop = earlier.drop;
        for (const std::string& dir : TagDirectories(earlier))
            record.drop.push_back(dir);
    }
    if (!WriteKeptRecord(record)) {
        WriteLogLine("上一版本没有保留，备份已删除（记录无法写入：" + KeptRecordPath() + "）");
        DeleteSetAsideRelease();
        DiscardKeptRelease("新版本已安装，它不再是上一版本");
        return;
    }
    // A cut from here on finds the record naming the run: SettleKeptRelease.
    DropEarlier(record);
    LetJournalGo();
    WriteLogLine("上一版本已保留：" + Joined(TagDirectories(record)));
}

bool SettleKeptRelease()
{
    const JournalContents* run = JournalRun();
    if (!run || run->phase != RunPhase::done)
        return false;
    KeptRecord record;
    std::string problem;
    if (ReadKeptRecord(&record, &problem) == KeptReading::ok && SamePath(record.tag, run->tag)) {
        DropEarlier(record);
        LetJournalGo();
        return true;
    }
    // Cut before the record was written: the run's set-aside goes as before,
    // and an earlier kept release is no longer the one before this release.
    DiscardKeptRelease("新版本已安装，它不再是上一版本");
    return false;
}

SwapOutcome SwapWithKeptRelease(const KeptRecord& record)
{
    SwapOutcome outcome;
    bool anyKept = false;
    for (const KeptEntry& entry : record.entries)
        anyKept = anyKept || KindOfPath(entry.aside) != PathKind::missing;
    if (!anyKept) {
        outcome.kind = SwapOutcome::undone;
        outcome.notMoved.push_back(KeptRecordPath());
        WriteLogLine("保留的版本目录不存在，没有做任何更改：" + Joined(TagDirectories(record)));
        return outcome;
    }
    SwapJournal swap;
    swap.from = record.tag;
    swap.next = record;
    swap.next.tag = FreshTag(record);
    swap.next.keptIsOlder = !record.keptIsOlder;
    swap.next.drop.clear();
    swap.next.entries.clear();
    for (size_t i = 0; i < record.entries.size(); ++i) {
        const KeptEntry& entry = record.entries[i];
        swap.entries.push_back(
            {entry.original, entry.aside, JoinPath(DirOfTag(entry.original, swap.next.tag), std::to_string(i + 1))});
        swap.next.entries.push_back({entry.original, swap.entries.back().fresh});
    }
    // Everything the swap will do is written down before the first move.
    RemoveFile(SwapJournalPath());
    bool written = AppendSwap({kSwapMagic, kFormat}) && AppendSwap({"from", swap.from}) &&
                   AppendSwap({"to", swap.next.tag}) && AppendSwap({"when", swap.next.when}) &&
                   AppendSwap({"setup", swap.next.setupFile}) && AppendSwap({"digest", swap.next.digest}) &&
                   AppendSwap({"kept", swap.next.keptIsOlder ? "older" : "newer"});
    for (const SwapEntry& entry : swap.entries)
        written = written && AppendSwap({"entry", entry.original, entry.kept, entry.fresh});
    if (!written) {
        RemoveFile(SwapJournalPath());
        outcome.kind = SwapOutcome::undone;
        outcome.notMoved.push_back(SwapJournalPath());
        WriteLogLine("交换记录无法写入，没有做任何更改：" + SwapJournalPath());
        return outcome;
    }
    WriteLogLine("开始回到保留的版本：" + swap.from + " <-> " + swap.next.tag);
    for (const SwapEntry& entry : swap.entries)
        MoveMerging(entry.original, entry.fresh, &outcome.notMoved);
    if (!outcome.notMoved.empty() || !AppendSwap({"phase", "cleared"})) {
        for (const std::string& path : outcome.notMoved)
            WriteLogLine("无法移开，当前版本保持不变：" + path);
        UndoSwap(swap, &outcome);
        return outcome;
    }
    swap.phase = 1;
    MoveKeptIn(swap, &outcome);
    return outcome;
}

bool SwapUnfinished() { return KindOfPath(SwapJournalPath()) != PathKind::missing; }

SwapOutcome FinishUnfinishedSwap()
{
    SwapOutcome outcome;
    SwapJournal swap;
    std::string problem;
    switch (ReadSwap(&swap, &problem)) {
    case KeptReading::none:
        RemoveFile(SwapJournalPath()); // cut while its first line was written: nothing was moved
        return outcome;
    case KeptReading::damaged:
        WriteLogLine("交换记录无法读取，没有做任何更改：" + problem);
        outcome.kind = SwapOutcome::unreadable;
        outcome.notMoved.push_back(SwapJournalPath());
        return outcome;
    case KeptReading::ok:
        break;
    }
    WriteLogLine("发现未完成的版本交换（阶段 " + std::to_string(swap.phase) + "）");
    if (swap.phase == 0)
        UndoSwap(swap, &outcome);
    else if (swap.phase == 1)
        MoveKeptIn(swap, &outcome);
    else
        SettleSwap(swap, &outcome);
    return outcome;
}
