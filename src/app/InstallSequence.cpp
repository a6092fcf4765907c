// The install sequence: one function per state, in the order of the state
// numbers. Each tick runs one state; a state that works or asks stops the
// sequence timer first and restarts it when it has chosen the next state, so
// that no tick arrives inside its message boxes.
#include <cstring>

#include <windows.h>
#include <shlwapi.h>

#include "app/AutoUpdateDlg.h"
#include "locations/Locations.h"
#include "messages/Messages.h"
#include "app/SetupResources.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "deploy/ConfigPurge.h"
#include "deploy/Drivers.h"
#include "deploy/FileTree.h"
#include "deploy/Package.h"
#include "deploy/Shortcuts.h"
#include "platform/DirectoryEntries.h"
#include "platform/Profile.h"
#include "platform/StringUtil.h"
#include "platform/Paths.h"

namespace {
// The control program holds this mutex for as long as it runs.
const char kControlProgramMutexName[] = "kvt_TORNELIX_7000{F87C04A0-D4EA-11d4-88B8-0050FC09F3B0}";

bool IsDirectory(const std::string& path) { return PathIsDirectoryA(path.c_str()) != FALSE; }

// The first file below dir in enumeration order: after a DeleteTree that
// stopped, the one it could not delete.
std::string FirstFileBelow(const std::string& dir)
{
    std::string file;
    ForEachEntry(dir, "*", [&](const DirectoryEntry& entry) {
        std::string full = dir + "\\" + entry.name;
        file = entry.IsDirectory() ? FirstFileBelow(full) : full;
        return file.empty();
    });
    return file;
}
} // namespace

const CAutoUpdateDlg::StateEntry CAutoUpdateDlg::kStates[] = {
    {WaitControlExit, "WaitControlExit", &CAutoUpdateDlg::StateWaitControlExit},
    {ConfirmWipe, "ConfirmWipe", &CAutoUpdateDlg::StateConfirmWipe},
    {CollectInfo, "CollectInfo", &CAutoUpdateDlg::StateCollectInfo},
    {SaveFiles, "SaveFiles", &CAutoUpdateDlg::StateSaveFiles},
    {ClearOld, "ClearOld", &CAutoUpdateDlg::StateClearOld},
    {Extract, "Extract", &CAutoUpdateDlg::StateExtract},
    {CopySystem, "CopySystem", &CAutoUpdateDlg::StateCopySystem},
    {NoOpStep, "NoOpStep", &CAutoUpdateDlg::StateNoOpStep},
    {RestoreFiles, "RestoreFiles", &CAutoUpdateDlg::StateRestoreFiles},
    {WriteLanguage, "WriteLanguage", &CAutoUpdateDlg::StateWriteLanguage},
    {Drivers, "Drivers", &CAutoUpdateDlg::StateDrivers},
    {Transfer, "Transfer", &CAutoUpdateDlg::StateTransfer},
    {PostInstall, "PostInstall", &CAutoUpdateDlg::StatePostInstall},
    {Finish, "Finish", &CAutoUpdateDlg::StateFinish},
};

void CAutoUpdateDlg::RunSequenceStep()
{
    for (const StateEntry& state : kStates) {
        if (state.number != sequenceState)
            continue;
        // One trace record per state entered; the waiting states repeat
        // silently.
        if (m_lastTracedState != sequenceState) {
            m_lastTracedState = sequenceState;
            TraceMessage("|S|state %d %s", static_cast<int>(state.number), state.name);
        }
        (this->*state.run)();
        return;
    }
    TraceMessage("|E|invalid state %d", static_cast<int>(sequenceState));
    AbortWithMessage(kTextInvalidState);
}

// 0: wait until the control program has released its instance mutex.
void CAutoUpdateDlg::StateWaitControlExit()
{
    ShowStepLabel(IDC_STEP_WAIT_CONTROL);
    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kControlProgramMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return;
    }
    // A mutex that could not be made for another reason counts as free.
    m_controlMutex = mutex;
    GoTo(ConfirmWipe);
}

// 1: refuse a setup file that can never install, then warn about the wipe.
void CAutoUpdateDlg::StateConfirmWipe()
{
    StopTimer();
    ShowStepLabel(IDC_STEP_START);
    // Checked before anything is deleted: a damaged setup file would wipe the
    // old installation and then fail in state 6 for ever.
    FileError setupFileError(FileError::none, 0, std::string());
    SetupFileCheck setupFile = VerifySetupFile(&setupFileError);
    if (setupFile == SetupFileCheck::fileError) {
        // Unreadable is not damaged: the report names the file and the cause.
        ReportFileError(setupFileError);
        sequenceState = Finish;
        CloseDialog();
        return;
    }
    if (setupFile != SetupFileCheck::ok) {
        AbortWithMessage(kTextBadSignature);
        return;
    }
    char longRoot[MAX_PATH];
    memset(longRoot, 0, sizeof longRoot);
    DWORD n = GetLongPathNameA(InstallRoot().c_str(), longRoot, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        longRoot[0] = '\0';
    if (longRoot[0] != '\0') {
        std::string warning = StrPrintf(LocalText(MsgWipeWarning), longRoot);
        if (ShowMessage(warning, MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL) {
            CloseDialog();
            return;
        }
    }
    GoTo(CollectInfo);
    StartTimer();
}

// 2: find the configurations and ask whether their parameters are kept.
void CAutoUpdateDlg::StateCollectInfo()
{
    StopTimer();
    CollectParameterInfo(params);
    GoTo(params.transferRequested ? SaveFiles : ClearOld);
    StartTimer();
}

// 3: save the data tree without its parameter files.
void CAutoUpdateDlg::StateSaveFiles()
{
    StopTimer();
    params.dataTreeKept = !SaveParameterFiles();
    GoTo(ClearOld);
    StartTimer();
}

// 5: delete the old installation and the shortcuts; only the wipe of the
// program tree is checked, since the package cannot overwrite what stays.
void CAutoUpdateDlg::StateClearOld()
{
    StopTimer();
    std::string dataProduct = DataProductDir();
    if (params.dataTreeKept) {
        // Its save failed: the tree is the only copy of the user's files.
        RemoveParameterFilesInPlace();
    } else if (IsDirectory(dataProduct)) {
        SetFileAttributesA(dataProduct.c_str(), 0);
        DeleteTree(dataProduct);
    }
    char root[MAX_PATH] = {0};
    if (CopyFits(root, sizeof root, InstallRoot())) {
        PathRemoveBackslashA(root);
        if (root[0] != '\0' && IsDirectory(root)) {
            SetFileAttributesA(root, 0);
            // A file that another program holds open stops the wipe, and the
            // package cannot overwrite it later: the new release would be
            // mixed with the old one while the end says success. The user
            // may close that program and try again, or go on knowingly.
            while (!DeleteTree(root)) {
                std::string held = FirstFileBelow(root);
                if (held.empty())
                    break;
                if (ShowMessage(StrPrintf(LocalText(MsgFileInUse), held.c_str()),
                                MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK) {
                    WriteLogLine("文件被占用，未删除：" + held);
                    break;
                }
            }
        }
    }
    if (!ProductDirName().empty() && IsDirectory(ProductDir()))
        DeleteTree(ProductDir());
    DeleteTree("D:\\NcFiles\\Wizards\\");
    if (IsWriteFilterSystem())
        DeleteTree("C:\\Velko\\");
    RemoveShortcuts();
    GoTo(Extract);
    StartTimer();
}

// 6: check and run the package; retried on later ticks until it succeeds.
// The timer is stopped meanwhile so that no second extraction starts while
// a failure message of this one is open.
void CAutoUpdateDlg::StateExtract()
{
    ShowStepLabel(IDC_STEP_COPY_FILES);
    StopTimer();
    // A package that ran but failed goes on as before; only its trace
    // record tells (a later change may act on it).
    PackageRun run = ExtractPackage().run;
    if (run == PackageRun::ok || run == PackageRun::packageFailed)
        GoTo(CopySystem);
    StartTimer();
}

// 7: system files of the release.
void CAutoUpdateDlg::StateCopySystem()
{
    StopTimer();
    CopySystemFiles();
    GoTo(NoOpStep);
    StartTimer();
}

// 8: no work; one period's pause.
void CAutoUpdateDlg::StateNoOpStep()
{
    StopTimer();
    GoTo(WriteLanguage);
    StartTimer();
}

// 9: the saved data tree back over the new one.
void CAutoUpdateDlg::StateRestoreFiles()
{
    StopTimer();
    RestoreSavedFiles();
    GoTo(PostInstall);
    StartTimer();
}

// 10: the active language of the installed control program.
void CAutoUpdateDlg::StateWriteLanguage()
{
    ShowStepLabel(IDC_STEP_COPY_OTHER);
    std::string langIni = InstallRoot() + ProductDirName() + "\\Lang\\Lang.ini";
    ProfileWriteString(langIni, "ActiveLang", "ActiveLang", language == kLanguageEnglish ? "eng" : "chn");
    GoTo(Drivers);
}

// 12: the product's kernel driver files.
void CAutoUpdateDlg::StateDrivers()
{
    StopTimer();
    InstallDrivers(InstallRoot() + ProductDirName() + "\\");
    GoTo(Transfer);
    StartTimer();
}

// 15: purge the old data files, then bring the user configuration or the
// saved parameters into the new release.
void CAutoUpdateDlg::StateTransfer()
{
    StopTimer();
    PurgeConfigDataFiles(params.useActiveConfig, params.activeConfigDir);
    if (!params.transferRequested || IsPackupSet())
        RestoreUserConfig(params);
    if (params.transferRequested) {
        ShowStepLabel(IDC_STEP_TRANSFER);
        TransferParameters(params);
        PurgeConfigDataFiles(params.useActiveConfig, params.activeConfigDir);
        DeleteTree(JoinPath(InstallRoot(), "User"));
    }
    if (IsPackupSet())
        GoTo(Finish);
    else
        GoTo(params.transferRequested ? RestoreFiles : PostInstall);
    StartTimer();
}

// 16: network batch, then the write-filter notices or the driver installer.
void CAutoUpdateDlg::StatePostInstall()
{
    StopTimer();
    RunPostInstallActions(*this);
    GoTo(Finish);
    StartTimer();
}

// 20: wait for the driver installer, then the final message.
void CAutoUpdateDlg::StateFinish()
{
    if (IsWriteFilterSystem()) {
        StopTimer();
        CloseDialog();
        return;
    }
    if (IsDriverInstallerRunning())
        return;
    StopTimer();
    ShowStepLabel(IDC_STEP_FINISHED);
    ShowMessage(LocalText(MsgInstallSuccess), MB_OK);
    CloseDialog();
}
