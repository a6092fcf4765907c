#include "release/StartupRecovery.h"

#include "deploy/FileTree.h"
#include "locations/Locations.h"
#include "locations/TempLocations.h"
#include "logs/SetupLog.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/StringUtil.h"
#include "release/RecordFile.h"
#include "release/KeptRelease.h"
#include "release/PreviousRelease.h"
#include "release/ReleaseSwap.h"

UndoResult UndoUpdate()
{
    UndoResult undo = PutPreviousReleaseBack();
    // The data tree is whole again: the run's saved values belong to a run
    // that ended. What is not whole keeps them for a service engineer.
    if (undo.whole)
        DeleteTree(ParamWorkDir());
    return undo;
}

RecordsFound InspectRecords()
{
    RecordsFound found;
    // An earlier setup kept its records in the boot directory, which every
    // operator can write: whatever is there now may be anyone's.
    for (const std::string& former : FormerRecordPaths())
        if (KindOfPath(former) != PathKind::missing) {
            found.damaged = former + ": a record where every operator can write, not acted on (the records are kept in " +
                            RecordsDir() + ")";
            found.damagedRecord = former;
            return found;
        }
    std::string problem = RecordDirectoryProblem(RecordsDir());
    if (!problem.empty()) {
        found.damaged = "may be written by others than administrators, not acted on (" + problem + ")";
        found.damagedRecord = WithoutTrailingBackslash(RecordsDir());
        return found;
    }
    switch (InspectSwapRecord(&problem)) {
    case SwapFound::damaged:
        found.damaged = problem;
        found.damagedRecord = SwapRecordPath();
        return found;
    case SwapFound::none: break;
    default: found.swapCutShort = true; break;
    }
    JournalContents run;
    std::string cutEarly;
    switch (InspectJournal(&run, &problem, &cutEarly)) {
    case EarlierRun::unreadable:
        found.damaged = JournalPath() + ": " + problem;
        found.damagedRecord = JournalPath();
        return found;
    case EarlierRun::unfinished: found.updateCutShort = true; break;
    case EarlierRun::cleanUp: found.cleanUpLeft = true; break;
    case EarlierRun::none: break;
    }
    KeptRecord kept;
    if (ReadKeptRecord(&kept, &problem) == KeptReading::damaged) {
        found.damaged = problem;
        found.damagedRecord = KeptRecordPath();
        found.keptRecordDamaged = true;
    }
    return found;
}

Recovery RecoverAtStart()
{
    Recovery recovery;
    RecordsFound found = InspectRecords();
    if (!found.damaged.empty()) {
        WriteLogLine("安装记录无法读取，没有做任何更改：" + found.damaged);
        recovery.kind = Recovery::unreadable;
        recovery.detail = found.damagedRecord;
        recovery.keptRecordDamaged = found.keptRecordDamaged;
        return recovery;
    }
    // A swap cut short first: one release in place and the other kept,
    // before anything else looks at the machine.
    SwapOutcome swap = FinishUnfinishedSwap();
    switch (swap.kind) {
    case SwapOutcome::notWhole:
    case SwapOutcome::unreadable:
        recovery.kind = swap.kind == SwapOutcome::notWhole ? Recovery::notRestored : Recovery::unreadable;
        recovery.detail = swap.kind == SwapOutcome::notWhole ? JoinLines(swap.notMoved) : SwapRecordPath();
        return recovery;
    case SwapOutcome::swapped: recovery.kind = Recovery::swapFinished; break;
    case SwapOutcome::undone: recovery.kind = Recovery::swapUndone; break;
    case SwapOutcome::none: break;
    }
    std::string problem;
    switch (ReadEarlierRun(&problem)) {
    case EarlierRun::none:
        break;
    case EarlierRun::cleanUp:
        if (!SettleKeptRelease())
            FinishEarlierCleanUp();
        if (recovery.kind == Recovery::none)
            recovery.kind = Recovery::cleanedUp;
        break;
    case EarlierRun::unreadable:
        WriteLogLine("安装记录无法读取，没有做任何更改：" + JournalPath() + "（" + problem + "）");
        recovery.kind = Recovery::unreadable;
        recovery.detail = JournalPath();
        break;
    case EarlierRun::unfinished: {
        WriteLogLine("发现未完成的安装，恢复原来的版本");
        UndoResult undo = UndoUpdate();
        WriteLogLine(undo.whole ? "原来的版本已恢复" : "原来的版本未能完全恢复");
        recovery.kind = undo.whole ? Recovery::restored : Recovery::notRestored;
        recovery.detail = JoinLines(undo.notBack);
        break;
    }
    }
    return recovery;
}

std::string MachineActiveLangName()
{
    JournalContents run;
    std::string problem, cutEarly;
    if (InspectJournal(&run, &problem, &cutEarly) != EarlierRun::unfinished)
        return ActiveLangName();
    std::string userIni, setupCfg;
    for (const JournalMove& move : run.moves) {
        if (SamePath(move.original, WithoutTrailingBackslash(DataProductDir())) ||
            (!run.dataTree.empty() && SamePath(move.original, run.dataTree)))
            userIni = JoinPath(move.aside, "user.ini");
        if (SamePath(move.original, WithoutTrailingBackslash(InstallRoot())))
            setupCfg = JoinPath(move.aside, "setup.cfg");
    }
    std::string name = userIni.empty() ? std::string() : ProfileGetString(userIni, "ActiveLang", "ActiveLang");
    if (name.empty() && !setupCfg.empty()) {
        std::string product = WithoutOneBackslash(ProfileGetString(setupCfg, "Settings", "Path"));
        std::string langIni = JoinPath(ParentOf(setupCfg), product + "\\Lang\\Lang.ini");
        name = ProfileGetString(langIni, "ActiveLang", "ActiveLang");
    }
    return name;
}
