#include "deploy/Drivers.h"

#include <cstdio>
#include <windows.h>
#include <setupapi.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "locations/Locations.h"
#include "messages/Messages.h"
#include "logs/SetupLog.h"
#include "messages/InstallPort.h"
#include "platform/DirectoryEntries.h"
#include "platform/FileCopy.h"
#include "platform/NamedMutex.h"
#include "platform/Profile.h"
#include "platform/StringUtil.h"
#include "platform/SystemInfo.h"
#include "platform/Paths.h"

namespace {



// Starts a program through the shell, hidden, without waiting for it.
bool ShellStart(const std::string& file, const char* parameters, ULONG mask)
{
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = mask;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = file.c_str();
    info.lpParameters = parameters;
    info.lpDirectory = nullptr;
    info.nShow = SW_HIDE;
    return ShellExecuteExA(&info) != FALSE;
}

bool FileMatches(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(path.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    FindClose(h);
    return true;
}

void* g_driverProbe = nullptr;
} // namespace

std::string FindDirectoryParent(const std::string& root, const std::string& name)
{
    if (JoinPath(root, "*").size() >= MAX_PATH)
        return std::string();
    std::string result;
    ForEachEntry(root, "*", [&](const DirectoryEntry& entry) {
        printf("Next file name is: %s\n", entry.name.c_str());
        if (!entry.IsDirectory())
            return true;
        if (entry.name == name) {
            result = root;
            return false;
        }
        std::string below = FindDirectoryParent(JoinPath(root, entry.name), name);
        if (!below.empty())
            result = below;
        return true;
    });
    return result;
}

void CopyReleaseSystemFiles(const BeforeSharedWrite& before)
{
    CopySystemFilesTo(InstallRoot(), SystemDirectory(), IsNt6OrLater(), before);
}

void CopySystemFilesTo(const std::string& installRoot, const std::string& systemDirectory, bool modern,
                       const BeforeSharedWrite& before)
{
    std::string parent = FindDirectoryParent(installRoot, "directx");
    if (parent.empty() || systemDirectory.empty())
        return;
    std::string source = JoinPath(parent, "directx");
    if (JoinPath(source, "*").size() >= MAX_PATH)
        return;
    ForEachEntry(source, "*", [&](const DirectoryEntry& entry) {
        if (!(entry.attributes & FILE_ATTRIBUTE_ARCHIVE))
            return true;
        std::string from = JoinPath(source, entry.name);
        if (!modern)
            CopyFileA(from.c_str(), JoinPath(parent, entry.name).c_str(), FALSE);
        std::string target = JoinPath(systemDirectory, entry.name);
        if (!FileMatches(target) && (!before || before(target)))
            CopyFileA(from.c_str(), target.c_str(), TRUE);
        return true;
    });
}

void InstallDriverFiles(InstallPort& ui, const std::string& productDir, const BeforeSharedWrite& before)
{
    std::string system = SystemDirectory();
    if (system.empty())
        return;
    InstallDriverFilesTo(ui, productDir, system + "\\drivers\\", before);
}

void InstallDriverFilesTo(InstallPort& ui, const std::string& productDir, const std::string& driversDirectory,
                          const BeforeSharedWrite& before)
{
    std::string pattern = productDir + "*.sys";
    if (pattern.size() >= MAX_PATH)
        return;
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        std::string name = found.cFileName;
        std::string target = JoinPath(driversDirectory, name);
        std::string source = productDir + name;
        // The new driver goes in beside the old one and takes its name only
        // once it is whole: a failed copy leaves the machine its old driver.
        std::string fresh = target + ".new";
        if (before && !before(target)) {
            ui.ShowMessage(StrPrintf(LocalText(MsgDriverFileFailed), name.c_str()), MB_OK | MB_ICONEXCLAMATION);
            continue;
        }
        DeleteFileA(fresh.c_str());
        bool copied = SetupInstallFileA(nullptr, nullptr, source.c_str(), nullptr, fresh.c_str(),
                                        SP_COPY_SOURCE_ABSOLUTE, nullptr, nullptr) != FALSE;
        if (!copied || !ReplaceFileAtomically(fresh, target)) {
            DeleteFileA(fresh.c_str());
            ui.ShowMessage(StrPrintf(LocalText(MsgDriverFileFailed), name.c_str()), MB_OK | MB_ICONEXCLAMATION);
        }
    } while (FindNextFileA(h, &found));
    FindClose(h);
}

PostInstallPlan PostInstallPlanForThisMachine()
{
    PostInstallPlan plan;
    plan.installRoot = InstallRoot();
    plan.writeFilter = IsWriteFilterSystem();
    plan.packup = IsPackupSet();
    plan.bootIni = BootIni();
    plan.firstRunPath = FirstRunPath();
    plan.wow64 = IsWow64();
    plan.english = language == kLanguageEnglish;
    return plan;
}

void StartPostInstallPrograms(InstallPort& ui) { StartPostInstallPrograms(ui, PostInstallPlanForThisMachine()); }

void StartPostInstallPrograms(InstallPort& ui, const PostInstallPlan& plan)
{
    std::string batch = JoinPath(plan.installRoot, "netsh\\install.bat");
    if (!batch.empty() && PathFileExistsA(batch.c_str()) && !ShellStart(batch, "", SEE_MASK_FLAG_NO_UI))
        ui.ShowMessage(LocalText(MsgNetshFailed), MB_OK);

    if (plan.writeFilter) {
        if (!plan.packup) {
            ui.ShowStep(InstallStep::Drivers);
            ProfileWriteString(plan.bootIni, "Operation", "InstallDriver", "1");
            WriteLogLine("通知 FirstRun 安装驱动");
        }
        ProfileWriteString(plan.bootIni, "Operation", "Commit", "1");
        WriteLogLine("通知 FirstRun 提交更改");
        if (ShellStart(plan.ewfmgr, "c: -commit", SEE_MASK_FLAG_NO_UI))
            Sleep(plan.waitMs);
        else
            ui.ShowMessage(LocalText(MsgCommitFailed), MB_OK);
        ui.ShowStep(InstallStep::Finished);
        if (!ShellStart(plan.firstRunPath, nullptr, SEE_MASK_FLAG_NO_UI)) {
            ui.ShowMessage(LocalText(MsgFirstRunFailed), MB_OK);
            WriteLogLine("启动FirstRun失败!\nFail to Run FirstRun!");
        }
        return;
    }

    std::string installer = JoinPath(plan.installRoot, plan.wow64 ? "InstallDrv_x64.exe" : "InstallDrv_x86.exe");
    if (!installer.empty() && PathFileExistsA(installer.c_str()) &&
        !ShellStart(installer, plan.english ? "-eng" : "", SEE_MASK_FLAG_NO_UI))
        ui.ShowMessage(LocalText(MsgDriverInstallFailed), MB_OK);
    ui.ShowStep(InstallStep::Drivers);
    Sleep(plan.waitMs);
}

bool IsDriverInstallerRunning()
{
    // A probe kept from an earlier "not running" answer would itself make
    // the name exist; let it go before probing again.
    if (g_driverProbe) {
        CloseMutexHandle(g_driverProbe);
        g_driverProbe = nullptr;
    }
    // Anything but a name made anew (it exists, or access to it is denied)
    // means the installer may still run.
    void* probe = nullptr;
    if (ProbeNamedMutex(kDriverInstallerMutexName, &probe) != MutexProbe::created) {
        CloseMutexHandle(probe);
        return true;
    }
    g_driverProbe = probe;
    return false;
}
