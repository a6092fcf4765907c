#include "app/ControllerOperations.h"

#include "app/SilentOutput.h"

#include "deploy/ConfigPurge.h"
#include "deploy/Drivers.h"
#include "deploy/FileTree.h"
#include "release/DataTreeFiles.h"
#include "release/InstalledLaid.h"
#include "release/KeptRelease.h"
#include "release/OldRelease.h"
#include "deploy/Package.h"
#include "release/PreviousRelease.h"
#include "release/Stage.h"
#include "release/StartupRecovery.h"
#include "release/RunState.h"
#include "setupfile/SetupDigest.h"
#include "logs/SetupLog.h"
#include "locations/Locations.h"
#include "messages/Messages.h"
#include "paramsteps/ParameterFileSet.h"
#include "paramsteps/ParameterTransfer.h"
#include "platform/MultiByte.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/StringUtil.h"

namespace {
// The control program holds this mutex for as long as it runs.
const char kControlProgramMutexName[] = "kvt_TORNELIX_7000{F87C04A0-D4EA-11d4-88B8-0050FC09F3B0}";
// The tree that state 5 would set aside from under the running setup file.
std::string TreeHoldingSetupFile()
{
    std::string setup = LongPathOf(RunningProgramPath());
    if (setup.empty())
        return std::string();
    std::vector<std::string> trees = {InstallRoot(), WithoutTrailingBackslash(DataProductDir()), WizardsDir()};
    if (IsWriteFilterSystem())
        trees.push_back(WriteFilterDataTree());
    for (const std::string& tree : trees) {
        std::string longTree = LongPathOf(tree);
        if (!longTree.empty() && IsSelfOrWithin(setup, longTree) && !IsSelfOrWithin(setup, LongPathOf(BootDir())))
            return longTree;
    }
    return std::string();
}
} // namespace

ControllerOperations::~ControllerOperations() { CloseMutexHandle(m_controlMutex); }

void ControllerOperations::PrepareSession(ParameterSession& session)
{
    CaptureTempPath();
    session.paramWorkDir = ParamWorkDir();
    session.reserveQuestion = LocalText(MsgReserveQuestionHeader);
    // Looked up once; nothing turns session.useActiveConfig on from it.
    ActiveConfigDir(session.activeConfigDir);
}

bool ControllerOperations::keepPrevious = true;

bool ControllerOperations::UnfinishedRunFound()
{
    // The kept release's record is read at every start too: one that cannot
    // be trusted stops the run before anything changes.
    for (const std::string& record : {JournalFilePath(), SwapRecordFilePath(), KeptRecordFilePath()})
        if (PathExists(record) || PathExists(record + ".new"))
            return true;
    // An earlier setup's records are reported, never passed over.
    for (const std::string& former : FormerRecordPaths())
        if (PathExists(former))
            return true;
    return false;
}

RecoveryOutcome ControllerOperations::RecoverUnfinishedRun()
{
    Recovery recovery = RecoverAtStart();
    RecoveryOutcome outcome;
    outcome.detail = recovery.detail;
    outcome.keptRecordDamaged = recovery.keptRecordDamaged;
    switch (recovery.kind) {
    case Recovery::none: outcome.kind = RecoveryOutcome::none; break;
    case Recovery::cleanedUp:
    case Recovery::swapUndone: outcome.kind = RecoveryOutcome::cleanedUp; break;
    case Recovery::swapFinished: outcome.kind = RecoveryOutcome::swapFinished; break;
    case Recovery::restored: outcome.kind = RecoveryOutcome::restored; break;
    case Recovery::notRestored: outcome.kind = RecoveryOutcome::notRestored; break;
    case Recovery::unreadable: outcome.kind = RecoveryOutcome::unreadable; break;
    }
    return outcome;
}

bool ControllerOperations::ControlProgramGoneWithin(unsigned seconds)
{
    unsigned long long start = ElapsedMilliseconds();
    while (ControlProgramRunning()) {
        if (ElapsedMilliseconds() - start >= seconds * 1000ull)
            return false;
        SleepMilliseconds(500);
    }
    return true;
}

bool ControllerOperations::ControlProgramRunning()
{
    void* mutex = nullptr;
    // Only a name made anew proves that the control program is gone: one that
    // exists under a security descriptor denying this process (access
    // denied) or fails otherwise may belong to a running control program,
    // and the wipe must never start under it.
    if (ProbeNamedMutex(kControlProgramMutexName, &mutex) != MutexProbe::created) {
        CloseMutexHandle(mutex);
        // Named once: whoever started the run sees what it waits for.
        if (m_runningImage != kControlProgramMutexName)
            TellSilently(std::string("控制程序正在运行（互斥体 ") + kControlProgramMutexName + "）");
        m_runningImage = kControlProgramMutexName;
        return true;
    }
    // The mutex's name is local to a session: a control program in another
    // one (the setup as a service in session 0) is only seen by its image.
    std::string image = ProgramRunningFromInstallation();
    if (!image.empty()) {
        CloseMutexHandle(mutex); // held, it would answer the next probe itself
        if (image != m_runningImage)
            TellSilently("安装目录中的程序仍在运行：" + image);
        m_runningImage = image;
        return true;
    }
    m_controlMutex = mutex;
    return false;
}

std::string ControllerOperations::SetupFileProblem()
{
    FileError error(FileError::none, 0, std::string());
    ImageCheck check = VerifySetupFile(&error);
    m_setupFileDamage = ImageCheckCause(check);
    switch (check) {
    case ImageCheck::ok:
        return std::string();
    case ImageCheck::unreadable:
        return error.what(); // unreadable is not damaged: name the file and the cause
    default:
        return kTextBadSignature;
    }
}

std::string ControllerOperations::ProductTreeRefusal()
{
    ProductTreeVerdict trees = CheckInstalledProductTrees();
    if (trees.refusal != TreeRefusal::None)
        return ProductTreeRefusalText(trees.setupCfg, trees.pathValue, trees.refusal);
    // Set aside while it runs, the setup file could not give its package.
    std::string tree = TreeHoldingSetupFile();
    if (!tree.empty()) {
        WriteLogLine("安装程序位于将被替换的目录中，没有做任何更改：" + tree);
        return StrPrintf(LocalText(MsgSetupInsideRelease), tree.c_str());
    }
    return std::string();
}

std::string ControllerOperations::SameReleaseInstalledAt(std::string* name)
{
    ReleaseFields installed = InstalledReleaseOfState();
    std::string digest = RecordedSetupDigest(RunningProgramPath());
    if (digest.empty() || LowerMultiByte(installed.digest) != LowerMultiByte(digest))
        return std::string();
    // Installed with something not done (a driver): the same file completes it.
    if (installed.complete == "no") {
        WriteLogLine("此版本上次安装没有全部完成，重新安装以完成它");
        return std::string();
    }
    *name = installed.release;
    return !installed.time.empty() ? installed.time : "-";
}

std::string ControllerOperations::InstallRootLongPath() { return LongPathOf(InstallRoot()); }

bool ControllerOperations::CollectParameterInfo(ParameterSession& session) { return CollectConfigurationValues(session); }

ClearOutcome ControllerOperations::ClearOldRelease(InstallPort& port)
{
    ClearOutcome outcome;
    KeptRecord kept;
    std::string problem;
    ReadKeptRecord(&kept, &problem);
    NameLeftoverAsideDirectories(kept.tag);
    // Without a kept release, what the release in place laid is in a
    // record of its own.
    if (kept.laid.empty()) {
        std::string laidProblem;
        kept.laid = ReadInstalledLaid(&laidProblem);
        if (!laidProblem.empty())
            WriteLogLine("安装记录无法读取，新版本的文件放在旁边：" + laidProblem);
    }
    // Nothing is touched before the journal is known to be writable.
    // The journal names the release this run installs, for a start that
    // finds the run done but not yet recorded, and what the release in place
    // laid in the data tree, which tells its files from the operator's. The
    // release by the name mksetup --release stored; a setup file without one
    // by its file name.
    const std::string setup = RunningProgramPath();
    std::string release = RecordedReleaseName(setup);
    if (release.empty())
        release = setup.substr(setup.find_last_of('\\') + 1);
    bool begun = BeginSetAside(release, RecordedSetupDigest(setup), kept.laid);
    outcome.journalWritten = begun && SetAsideDataTree(&outcome.heldInDataTree) && SetAsideProgramTree(port) && SetAsideReleaseExtras() &&
                             RecordPhase(RunPhase::setAside);
    if (!outcome.journalWritten) {
        outcome.journal = JournalPath();
        outcome.drive = outcome.journal.substr(0, 2);
        WriteLogLine("安装记录无法写入，停止安装：" + outcome.journal);
        outcome.restored = UndoUpdate().whole;
    }
    return outcome;
}

PackageOutcome ControllerOperations::ExtractPackage()
{
    // From here on an undo takes what lies in the original places for the
    // package's: it must know that before the package lays anything.
    if (!RecordPhase(RunPhase::packageStarted)) {
        PackageOutcome outcome;
        outcome.kind = PackageOutcome::notStarted;
        return outcome;
    }
    PackageOutcome outcome = SwitchOrRunPackage();
    // Whatever its exit: what it laid in the data tree, unrecorded, would
    // count as the operator's and stay through an undo.
    RecordWhatThePackageLaid();
    if (outcome.kind != PackageOutcome::ran)
        return outcome;
    // The package laid its own setup.cfg: read that one, not a copy of the
    // old one kept by the system.
    ProfileForget(JoinPath(InstallRoot(), "setup.cfg"));
    // The new release's setup.cfg now leads every later step (the language
    // file, the drivers, the purge, the merge, the data tree): it is held to
    // the installed one's rule before anything is written under it.
    ProductTreeVerdict trees = CheckInstalledProductTrees();
    if (trees.refusal != TreeRefusal::None) {
        outcome.kind = PackageOutcome::pathRefused;
        outcome.report = StrPrintf(LocalText(MsgNewPathRefused), trees.setupCfg.c_str(), trees.pathValue.c_str(),
                                   TreeRefusalReason(trees.refusal));
        WriteLogLine("新版本的 setup.cfg 中的 Path 不能使用，恢复原来的版本：Path=" + trees.pathValue + "（" +
                     TreeRefusalReason(trees.refusal) + "）");
        return outcome;
    }
    // The package's own word is not enough: the release must be there.
    if (ProductDirName().empty() || !IsDirectory(ProductDir()))
        outcome.kind = PackageOutcome::noProductDir;
    return outcome;
}

// A stage of this setup file whose files are as staged is moved in by
// renames instead of running the package; any other stage is dropped and
// named, and the package runs as without one: a stage only saves time.
PackageOutcome ControllerOperations::SwitchOrRunPackage()
{
    StageFound stage = FindStage(RecordedSetupDigest(RunningProgramPath()), true);
    if (stage.state == StageFound::notUsable)
        WriteLogLine("暂存的版本不使用，已删除，照常运行安装包：" + stage.reason + "（" + stage.record.dir + "）");
    if (stage.state != StageFound::usable) {
        for (const std::string& left : DropStage())
            if (stage.state == StageFound::none)
                WriteLogLine("删除了中断的暂存留下的：" + left);
        RecordStageGone();
        return RunSetupPackage();
    }
    // A cut from here on leaves no record: the next run drops what is left.
    std::string problem = SwitchToStage(stage, InstallRoot());
    DropStage();
    RecordStageGone();
    if (!problem.empty()) {
        // What was moved in is the checked release: the package lays it whole over it.
        WriteLogLine("暂存的版本未能换入，照常运行安装包：" + problem);
        return RunSetupPackage();
    }
    WriteLogLine("暂存的版本已换入：" + stage.record.release + "（" + stage.record.dir + "，" +
                 std::to_string(stage.record.files.size()) + "个文件）");
    return PackageOutcome();
}

bool ControllerOperations::PutPreviousReleaseBack()
{
    bool back = UndoUpdate().whole;
    WriteLogLine(back ? "更新失败，原来的版本已恢复" : "更新失败，原来的版本未能完全恢复");
    return back;
}

std::string ControllerOperations::DiscardPreviousRelease()
{
    bool home = KeepOrDiscardPreviousRelease(keepPrevious, RunningProgramPath());
    BringEarlierSavesHome(WithoutTrailingBackslash(DataProductDir()));
    if (home)
        return std::string();
    // With or without the values carried: a file of the operator's that
    // stayed aside is never "done".
    return StrPrintf(LocalText(MsgRestoreIncomplete), WithoutTrailingBackslash(DataProductDir()).c_str(),
                     PreviousReleaseRootFor(DataRoot()).c_str());
}

void ControllerOperations::CopySystemFiles() { CopyReleaseSystemFiles(SaveSharedFile); }

bool ControllerOperations::RestoreSavedFiles(InstallPort& port) { return RestoreDataTree(port); }

void ControllerOperations::WriteActiveLanguage()
{
    ProfileWriteString(LangIni(), "ActiveLang", "ActiveLang", language == kLanguageEnglish ? "eng" : "chn");
}

void ControllerOperations::InstallDrivers(InstallPort& port)
{
    InstallDriverFiles(port, ProductDir(), SaveSharedFile);
}

bool ControllerOperations::PackupSet() { return IsPackupSet(); }

void ControllerOperations::PurgeConfigData(const ParameterSession& session)
{
    PurgeConfigDataFiles(session.useActiveConfig, session.activeConfigDir);
}

void ControllerOperations::RestoreUserConfig(ParameterSession& session) { CopyReleaseUserTree(session); }

void ControllerOperations::TransferParameters(ParameterSession& session)
{
    MergeSavedAmendFiles(session);
    RecordPhase(RunPhase::transferDone); // for the reader of the journal; an undo needs no more
}

void ControllerOperations::RemoveReleaseUserTree() { DeleteTree(JoinPath(InstallRoot(), "User")); }

void ControllerOperations::RunPostInstallActions(InstallPort& port) { StartPostInstallPrograms(port); }

bool ControllerOperations::WriteFilterSystem() { return IsWriteFilterSystem(); }

bool ControllerOperations::DriverInstallerRunning() { return IsDriverInstallerRunning(); }
