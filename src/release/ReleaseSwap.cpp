#include "release/ReleaseSwap.h"

#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "platform/FileCopy.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"
#include "release/DataTreeFiles.h"
#include "release/RecordFile.h"
#include "release/RecordPlaces.h"
#include "release/RunState.h"
#include "release/TagStore.h"

const RecordKind kSwapKind = {"TLXSWAP", 2, 2, true, nullptr};

namespace {
struct SwapEntry {
    std::string original, kept, fresh; // the place, the kept copy, where the current one goes
    bool freshHeld = true;             // the current release has something there
};
enum class SwapPhase { moving, cleared, swapped };
const char* const kPhaseNames[] = {"moving", "cleared", "swapped"};

struct SwapRecord {
    std::string from; // the kept release's tag
    KeptRecord next;  // the record once swapped: the current release under a fresh tag
    std::vector<SwapEntry> entries;
    SwapPhase phase = SwapPhase::moving;
    ReleaseFields installedBefore; // the run state's installed release when the swap began
};

std::vector<RecordFields> FieldsOf(const SwapRecord& swap)
{
    std::vector<RecordFields> records = {{"from", swap.from}, {"to", swap.next.tag}};
    for (const RecordFields& fact : KeptReleaseFacts(swap.next))
        records.push_back(fact);
    records.push_back(
        {"installed", swap.installedBefore.release, swap.installedBefore.digest, swap.installedBefore.time});
    for (const SwapEntry& entry : swap.entries)
        records.push_back({"entry", entry.original, entry.kept, entry.fresh, entry.freshHeld ? "held" : "none"});
    records.push_back({"phase", kPhaseNames[static_cast<int>(swap.phase)]});
    return records;
}

// The whole record again with its new phase: an engine or a cut finds the
// old record or the new one, never half.
bool WriteSwap(const SwapRecord& swap)
{
    if (WriteWholeRecord(SwapRecordPath(), kSwapKind, FieldsOf(swap)))
        return true;
    TraceMessage("|E|swap record %s not written", SwapRecordPath().c_str());
    return false;
}

std::string PlacesProblem(const SwapRecord& swap)
{
    if (!IsTagForm(swap.from) || !IsTagForm(swap.next.tag) || swap.from == swap.next.tag)
        return "not tags of this setup: " + swap.from + " " + swap.next.tag;
    std::string carried = CarriedProblem(swap.next.carried);
    if (!carried.empty())
        return carried;
    for (const SwapEntry& entry : swap.entries) {
        if (!IsProductPlace(entry.original, swap.next.carried))
            return "names a place that is not the product's: " + entry.original;
        if (!IsTagCopyOf(entry.kept, entry.original, swap.from))
            return "names a copy outside the kept release's directory: " + entry.kept;
        if (!IsTagCopyOf(entry.fresh, entry.original, swap.next.tag))
            return "names a copy outside the swap's directory: " + entry.fresh;
    }
    return DataTreeProblem(swap.next.dataTree, {&swap.next.laid, &swap.next.keptLaid});
}

// What the record holds; none also for a record cut before its first move
// (*cutEarly then says why).
SwapFound ReadSwap(SwapRecord* swap, std::string* problem, std::string* cutEarly)
{
    RecordRead read = ReadRecordFile(SwapRecordPath(), kSwapKind);
    bool anyEntry = false;
    for (const RecordFields& f : read.records)
        anyEntry = anyEntry || f[0] == "entry";
    switch (read.state) {
    case RecordState::missing:
        return SwapFound::none;
    case RecordState::notBegun:
        *cutEarly = read.problem;
        return SwapFound::none;
    case RecordState::damaged:
        // The moves begin only once the record is whole; one cut before it
        // named a single move cannot have been acted on.
        if (read.cutShort && !anyEntry) {
            *cutEarly = read.problem;
            return SwapFound::none;
        }
        *problem = SwapRecordPath() + ": " + read.problem;
        return SwapFound::damaged;
    case RecordState::ok:
        break;
    }
    bool phaseSeen = false;
    for (const RecordFields& f : read.records) {
        const std::string& kind = f[0];
        if (f.size() == 2 && kind == "from")
            swap->from = f[1];
        else if (f.size() == 2 && kind == "to")
            swap->next.tag = f[1];
        else if (f.size() == 4 && kind == "installed")
            swap->installedBefore = {f[1], f[2], f[3], std::string()};
        else if (f.size() == 5 && kind == "entry" && (f[4] == "held" || f[4] == "none"))
            swap->entries.push_back({f[1], f[2], f[3], f[4] == "held"});
        else if (TakeKeptReleaseFact(f, &swap->next))
            continue;
        else if (f.size() == 2 && kind == "phase" && (f[1] == "moving" || f[1] == "cleared" || f[1] == "swapped")) {
            swap->phase = f[1] == "moving" ? SwapPhase::moving : f[1] == "cleared" ? SwapPhase::cleared : SwapPhase::swapped;
            phaseSeen = true;
        } else {
            *problem = SwapRecordPath() + ": record not understood: " + kind;
            return SwapFound::damaged;
        }
    }
    std::string places = swap->entries.empty() || !phaseSeen ? "names no move or no phase" : PlacesProblem(*swap);
    if (!places.empty()) {
        *problem = SwapRecordPath() + ": " + places;
        return SwapFound::damaged;
    }
    for (const SwapEntry& entry : swap->entries)
        swap->next.entries.push_back({entry.original, entry.fresh, entry.freshHeld});
    return swap->phase == SwapPhase::moving ? SwapFound::toUndo : SwapFound::toFinish;
}

bool IsDataTree(const SwapRecord& swap, const SwapEntry& entry)
{
    return !swap.next.dataTree.empty() && SamePath(entry.original, swap.next.dataTree);
}

// Out of the original place: of the data tree only the release's files and
// the machine's values go; the operator's files stay where they are.
void MoveOut(const SwapRecord& swap, const SwapEntry& entry, std::vector<std::string>* notMoved)
{
    if (IsDataTree(swap, entry))
        MoveReleaseFilesOut(entry.original, entry.fresh, LaidFiles(swap.next.keptLaid), notMoved);
    else
        MoveByRenames(entry.original, entry.fresh, [&](const std::string& path, Stuck why) {
            if (why == Stuck::notMoved)
                notMoved->push_back(path);
        });
}

// Into the original place: into the data tree by a merge, as a file saved
// there meanwhile (after a cut) must never block it nor be lost.
void MoveIn(const SwapRecord& swap, const std::string& from, const SwapEntry& entry, std::vector<std::string>* notMoved)
{
    if (IsDataTree(swap, entry))
        MergeIntoLiveTree(from, entry.original, false, LaidFiles(), notMoved);
    else
        MoveByRenames(from, entry.original, [&](const std::string& path, Stuck why) {
            if (why == Stuck::notMoved)
                notMoved->push_back(path);
        });
}

// The swap's last step: the record names the release now kept, the emptied
// directories and the swap record go. Run again after a cut, it does the same.
void SettleSwap(const SwapRecord& swap, SwapOutcome* outcome)
{
    if (!WriteKeptRecord(swap.next)) {
        outcome->kind = SwapOutcome::notWhole;
        outcome->notMoved.push_back(KeptRecordPath());
        return;
    }
    KeptRecord old = swap.next;
    old.tag = swap.from;
    for (const std::string& dir : KeptTagDirectories(old))
        if (!RemoveEmptyTree(dir))
            WriteLogLine("交换后备份目录不为空，保留：" + dir);
    // The run state follows once: a settle run again after a cut finds it
    // already changed.
    ReleaseFields installed = InstalledReleaseOfState();
    if (installed.release == swap.installedBefore.release && installed.digest == swap.installedBefore.digest &&
        installed.time == swap.installedBefore.time) {
        std::string problem = RecordReleasesSwapped();
        if (!problem.empty())
            WriteLogLine(problem);
    }
    RemoveFile(SwapRecordPath());
    WriteLogLine("已回到保留的版本：程序和机床参数已换回，原来的版本已保留；操作员的文件留在数据目录中");
    outcome->kind = SwapOutcome::swapped;
}

// From the kept release into the original places, then settle.
void MoveKeptIn(SwapRecord& swap, SwapOutcome* outcome)
{
    for (const SwapEntry& entry : swap.entries)
        MoveIn(swap, entry.kept, entry, &outcome->notMoved);
    swap.phase = SwapPhase::swapped;
    if (!outcome->notMoved.empty() || !WriteSwap(swap)) {
        outcome->kind = SwapOutcome::notWhole;
        for (const std::string& path : outcome->notMoved)
            WriteLogLine("交换未完成，未能放回：" + path);
        return;
    }
    SettleSwap(swap, outcome);
}

// Before the current release was wholly out of the way: it goes back, the
// kept one is untouched.
void UndoSwap(const SwapRecord& swap, SwapOutcome* outcome)
{
    std::vector<std::string> notBack;
    for (auto it = swap.entries.rbegin(); it != swap.entries.rend(); ++it)
        MoveIn(swap, it->fresh, *it, &notBack);
    if (!notBack.empty()) {
        outcome->kind = SwapOutcome::notWhole;
        for (const std::string& path : notBack)
            WriteLogLine("交换未完成，未能放回：" + path);
        outcome->notMoved.insert(outcome->notMoved.end(), notBack.begin(), notBack.end());
        return;
    }
    for (const std::string& dir : KeptTagDirectories(swap.next))
        RemoveEmptyTree(dir);
    RemoveFile(SwapRecordPath());
    outcome->kind = SwapOutcome::undone;
}

// A record cut before its first move, or its temporary file: it never took
// effect, and it goes with a line that names it.
void ForgetCutRecord(const std::string& why)
{
    if (!why.empty()) {
        WriteLogLine("交换记录没有写完，尚未移动任何文件，已删除：" + SwapRecordPath() + "（" + why + "）");
        RemoveFile(SwapRecordPath());
    }
    std::string part = RecordTempPath(SwapRecordPath());
    if (KindOfPath(part) == PathKind::file) {
        WriteLogLine("交换记录没有写完，尚未移动任何文件，已删除：" + part);
        RemoveFile(part);
    }
}
} // namespace

std::string SwapRecordPath() { return SwapRecordFilePath(); }

SwapOutcome SwapWithKeptRelease(const KeptRecord& record, InstallPort* progress)
{
    SwapOutcome outcome;
    // A kept release missing a copy, wholly or in part, is no release to go
    // back to: swapping would leave its places empty.
    std::vector<std::string> missing = MissingKeptDirectories(record);
    if (!missing.empty()) {
        outcome.kind = SwapOutcome::undone;
        outcome.notMoved = missing;
        WriteLogLine("保留的版本不完整，没有做任何更改：" + JoinLines(missing));
        return outcome;
    }
    SwapRecord swap;
    swap.from = record.tag;
    swap.next = record;
    do
        swap.next.tag = NewTag();
    while (swap.next.tag == record.tag);
    swap.next.keptIsOlder = !record.keptIsOlder;
    swap.installedBefore = InstalledReleaseOfState();
    swap.next.drop.clear();
    swap.next.entries.clear();
    swap.next.laid = record.keptLaid;
    swap.next.keptLaid = record.laid;
    for (size_t i = 0; i < record.entries.size(); ++i) {
        const KeptEntry& entry = record.entries[i];
        bool held = KindOfPath(entry.original) != PathKind::missing;
        swap.entries.push_back({entry.original, entry.aside,
                                JoinPath(TagDirFor(entry.original, swap.next.tag), std::to_string(i + 1)), held});
        swap.next.entries.push_back({entry.original, swap.entries.back().fresh, held});
    }
    // Everything the swap will do is written down, whole, before the first move.
    if (!WriteSwap(swap)) {
        outcome.kind = SwapOutcome::undone;
        outcome.notMoved.push_back(SwapRecordPath());
        WriteLogLine("交换记录无法写入，没有做任何更改：" + SwapRecordPath());
        return outcome;
    }
    WriteLogLine("开始回到保留的版本：" + swap.from + " <-> " + swap.next.tag);
    if (progress)
        progress->ShowStep(InstallStep::ClearOld);
    for (const SwapEntry& entry : swap.entries)
        MoveOut(swap, entry, &outcome.notMoved);
    swap.phase = SwapPhase::cleared;
    if (!outcome.notMoved.empty() || !WriteSwap(swap)) {
        for (const std::string& path : outcome.notMoved)
            WriteLogLine("无法移开，当前版本保持不变：" + path);
        UndoSwap(swap, &outcome);
        return outcome;
    }
    if (progress)
        progress->ShowStep(InstallStep::CopyFiles);
    MoveKeptIn(swap, &outcome);
    return outcome;
}

SwapFound InspectSwapRecord(std::string* problem)
{
    SwapRecord swap;
    std::string cutEarly;
    return ReadSwap(&swap, problem, &cutEarly);
}

SwapOutcome FinishUnfinishedSwap()
{
    SwapOutcome outcome;
    SwapRecord swap;
    std::string problem, cutEarly;
    SwapFound found = ReadSwap(&swap, &problem, &cutEarly);
    switch (found) {
    case SwapFound::none:
        ForgetCutRecord(cutEarly);
        return outcome;
    case SwapFound::damaged:
        WriteLogLine("交换记录无法读取，没有做任何更改：" + problem);
        outcome.kind = SwapOutcome::unreadable;
        outcome.notMoved.push_back(problem);
        return outcome;
    case SwapFound::toUndo:
    case SwapFound::toFinish:
        break;
    }
    WriteLogLine("发现未完成的版本交换（" + std::string(kPhaseNames[static_cast<int>(swap.phase)]) + "）");
    if (swap.phase == SwapPhase::moving)
        UndoSwap(swap, &outcome);
    else if (swap.phase == SwapPhase::cleared)
        MoveKeptIn(swap, &outcome);
    else
        SettleSwap(swap, &outcome);
    return outcome;
}
