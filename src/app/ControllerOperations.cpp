#include "app/ControllerOperations.h"

#include "deploy/ConfigPurge.h"
#include "deploy/Drivers.h"
#include "deploy/FileTree.h"
#include "deploy/OldRelease.h"
#include "deploy/Package.h"
#include "locations/Locations.h"
#include "messages/Messages.h"
#include "paramsteps/ParameterSteps.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

namespace {
// The control program holds this mutex for as long as it runs.
const char kControlProgramMutexName[] = "kvt_TORNELIX_7000{F87C04A0-D4EA-11d4-88B8-0050FC09F3B0}";
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
    m_controlMutex = mutex;
    return false;
}

bool ControllerOperations::SetupFileUsable() { return VerifySetupFile(); }

std::string ControllerOperations::InstallRootLongPath() { return LongPathOf(InstallRoot()); }

bool ControllerOperations::CollectParameterInfo(ParameterSession& session) { return ::CollectParameterInfo(session); }

bool ControllerOperations::SaveDataTree() { return SaveParameterFiles(); }

void ControllerOperations::ClearOldRelease(bool dataTreeKept, InstallPort& port)
{
    if (dataTreeKept) // its save failed: the tree is the only copy of the user's files
        RemoveParameterFilesInPlace();
    else
        WipeDataTree();
    WipeProgramTree(port);
    WipeReleaseExtras(dataTreeKept);
}

bool ControllerOperations::ExtractPackage() { return ::ExtractPackage(); }

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
