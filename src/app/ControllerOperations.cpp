#include "app/ControllerOperations.h"

#include "deploy/ConfigPurge.h"
#include "deploy/Drivers.h"
#include "deploy/FileTree.h"
#include "deploy/OldRelease.h"
#include "deploy/Package.h"
#include "deploy/PreviousRelease.h"
#include "logs/SetupLog.h"
#include "locations/Locations.h"
#include "messages/Messages.h"
#include "paramsteps/ParameterSteps.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

namespace {
// The control program holds this mutex for as long as it runs.
const char kControlProgramMutexName[] = "kvt_TORNELIX_7000{F87C04A0-D4EA-11d4-88B8-0050FC09F3B0}";
// The previous release and its data back from where state 5 set them aside.
// The data tree is then whole again: the run's saved copy of it would only
// come back over it, and the run's saved values belong to a run that ended.
bool RestorePreviousRelease()
{
    bool back = PutPreviousReleaseBack();
    if (back)
        DeleteTree(TempSaveDir());
    DeleteTree(ParamWorkDir());
    return back;
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

bool ControllerOperations::UnfinishedRunFound() { return UnfinishedRunRecorded(); }

bool ControllerOperations::RecoverUnfinishedRun()
{
    if (UnfinishedRunSucceeded()) {
        ::DiscardPreviousRelease();
        return false;
    }
    WriteLogLine("发现未完成的安装，恢复原来的版本");
    WriteLogLine(RestorePreviousRelease() ? "原来的版本已恢复" : "原来的版本未能完全恢复");
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
        return true;
    }
    // The mutex's name is local to a session: a control program in another
    // one (the setup as a service in session 0) is only seen by its image.
    std::string image = ProgramRunningFromInstallation();
    if (!image.empty()) {
        CloseMutexHandle(mutex); // held, it would answer the next probe itself
        if (image != m_runningImage)
            WriteLogLine("安装目录中的程序仍在运行：" + image);
        m_runningImage = image;
        return true;
    }
    m_controlMutex = mutex;
    return false;
}

std::string ControllerOperations::SetupFileProblem()
{
    FileError error(FileError::none, 0, std::string());
    switch (VerifySetupFile(&error)) {
    case SetupFileCheck::ok:
        return std::string();
    case SetupFileCheck::fileError:
        return error.what(); // unreadable is not damaged: name the file and the cause
    default:
        return kTextBadSignature;
    }
}

std::string ControllerOperations::ProductTreeRefusal()
{
    ProductTreeVerdict trees = CheckInstalledProductTrees();
    if (trees.refusal == TreeRefusal::None)
        return std::string();
    return ProductTreeRefusalText(trees.setupCfg, trees.pathValue, trees.refusal);
}

std::string ControllerOperations::InstallRootLongPath() { return LongPathOf(InstallRoot()); }

bool ControllerOperations::CollectParameterInfo(ParameterSession& session) { return ::CollectParameterInfo(session); }

bool ControllerOperations::SaveDataTree() { return SaveParameterFiles(); }

void ControllerOperations::ClearOldRelease(bool dataTreeKept, InstallPort& port)
{
    if (dataTreeKept) // its save failed: the tree is the only copy of the user's files
        RemoveParameterFilesInPlace();
    else
        SetAsideDataTree();
    SetAsideProgramTree(port);
    SetAsideReleaseExtras(dataTreeKept);
}

ExtractOutcome ControllerOperations::ExtractPackage()
{
    PackageResult result = ::ExtractPackage();
    ExtractOutcome outcome;
    outcome.exitCode = result.exitCode;
    switch (result.run) {
    case PackageRun::ok:
        // The package's own word is not enough: the release must be there.
        if (ProductDirName().empty() || !IsDirectory(ProductDir()))
            outcome.kind = ExtractOutcome::noProductDir;
        break;
    case PackageRun::packageFailed:
        outcome.kind = ExtractOutcome::failedExit;
        break;
    case PackageRun::notStarted:
        outcome.kind = ExtractOutcome::notStarted;
        break;
    default:
        outcome.kind = ExtractOutcome::rejected;
        break;
    }
    return outcome;
}

bool ControllerOperations::PutPreviousReleaseBack()
{
    bool back = RestorePreviousRelease();
    WriteLogLine(back ? "更新失败，原来的版本已恢复" : "更新失败，原来的版本未能完全恢复");
    return back;
}

void ControllerOperations::DiscardPreviousRelease() { ::DiscardPreviousRelease(); }

void ControllerOperations::CopySystemFiles() { ::CopySystemFiles(); }

void ControllerOperations::RestoreSavedFiles(InstallPort& port) { ::RestoreSavedFiles(port); }

void ControllerOperations::WriteActiveLanguage()
{
    std::string langIni = InstallRoot() + ProductDirName() + "\\Lang\\Lang.ini";
    ProfileWriteString(langIni, "ActiveLang", "ActiveLang", language == kLanguageEnglish ? "eng" : "chn");
}

void ControllerOperations::InstallDrivers() { ::InstallDrivers(InstallRoot() + ProductDirName() + "\\"); }

bool ControllerOperations::PackupSet() { return IsPackupSet(); }

void ControllerOperations::PurgeConfigData(const ParameterSession& session)
{
    PurgeConfigDataFiles(session.useActiveConfig, session.activeConfigDir);
}

void ControllerOperations::RestoreUserConfig(ParameterSession& session) { ::RestoreUserConfig(session); }

void ControllerOperations::TransferParameters(ParameterSession& session) { ::TransferParameters(session); }

void ControllerOperations::RemoveReleaseUserTree() { DeleteTree(JoinPath(InstallRoot(), "User")); }

void ControllerOperations::RunPostInstallActions(InstallPort& port) { ::RunPostInstallActions(port); }

bool ControllerOperations::WriteFilterSystem() { return IsWriteFilterSystem(); }

bool ControllerOperations::DriverInstallerRunning() { return IsDriverInstallerRunning(); }
