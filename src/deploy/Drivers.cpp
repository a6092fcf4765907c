#include "deploy/Drivers.h"

#include "locations/Locations.h"
#include "messages/Messages.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "messages/InstallPort.h"
#include "platform/DirectoryEntries.h"
#include "platform/FileCopy.h"
#include "platform/FileError.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/Shell.h"
#include "platform/StringUtil.h"
#include "platform/SystemInfo.h"

namespace {
void* g_driverProbe = nullptr;
} // namespace

std::string FindDirectoryParent(const std::string& root, const std::string& name)
{
    if (JoinPath(root, "*").empty())
        return std::string();
    std::string result;
    ForEachEntry(root, "*", [&](const DirectoryEntry& entry) {
        TraceMessage("Next file name is: %s", entry.name.c_str());
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
    if (JoinPath(source, "*").empty())
        return;
    ForEachEntry(source, "*", [&](const DirectoryEntry& entry) {
        if (!entry.IsArchive())
            return true;
        std::string from = JoinPath(source, entry.name);
        if (!modern)
            CopyFileTo(from, JoinPath(parent, entry.name), true);
        std::string target = JoinPath(systemDirectory, entry.name);
        if (!PathExists(target) && (!before || before(target)))
            CopyFileTo(from, target, false);
        return true;
    });
}

void InstallDriverFiles(InstallPort& ui, const std::string& productDir, const BeforeSharedWrite& before)
{
    std::string system = SystemDirectory();
    if (system.empty())
        return;
    InstallDriverFilesTo(ui, productDir, JoinPath(system, "drivers\\"), before);
}

void InstallDriverFilesTo(InstallPort& ui, const std::string& productDir, const std::string& driversDirectory,
                          const BeforeSharedWrite& before)
{
    if (JoinPath(productDir, "*.sys").empty())
        return;
    ForEachEntry(productDir, "*.sys", [&](const DirectoryEntry& entry) {
        if (entry.IsDirectory())
            return true;
        const std::string& name = entry.name;
        std::string target = JoinPath(driversDirectory, name);
        std::string source = JoinPath(productDir, name);
        // The new driver goes in beside the old one and takes its name only
        // once it is whole: a failed copy leaves the machine its old driver.
        std::string fresh = target + ".new";
        // The box keeps the original's text; the log and the trace say which
        // file, what failed and the system's error code.
        auto failed = [&](const std::string& why) {
            WriteLogLine("安装驱动失败：" + target + "（" + why + "）；原来的驱动保持不变");
            TraceMessage("|E|driver %s: %s", target.c_str(), why.c_str());
            ui.ShowMessage(StrPrintf(LocalText(MsgDriverFileFailed), name.c_str()), MB_OK | MB_ICONEXCLAMATION);
        };
        if (before && !before(target)) {
            failed("无法先记入安装记录，没有改动");
            return true;
        }
        DeleteUnprotectedFile(fresh);
        if (!InstallFileCopy(source, fresh)) {
            long error = FileError::LastOsError();
            DeleteUnprotectedFile(fresh);
            failed(StrPrintf("无法复制 %s 到 %s，Windows 错误 %ld", source.c_str(), fresh.c_str(), error));
        } else if (!ReplaceFileAtomically(fresh, target)) {
            long error = FileError::LastOsError();
            DeleteUnprotectedFile(fresh);
            failed(StrPrintf("无法以 %s 替换，Windows 错误 %ld", fresh.c_str(), error));
        }
        return true;
    });
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
    if (!batch.empty() && PathExists(batch) && !ShellStartHidden(batch, ""))
        ui.ShowMessage(LocalText(MsgNetshFailed), MB_OK);

    if (plan.writeFilter) {
        if (!plan.packup) {
            ui.ShowStep(InstallStep::Drivers);
            ProfileWriteString(plan.bootIni, "Operation", "InstallDriver", "1");
            WriteLogLine("通知 FirstRun 安装驱动");
        }
        ProfileWriteString(plan.bootIni, "Operation", "Commit", "1");
        WriteLogLine("通知 FirstRun 提交更改");
        if (ShellStartHidden(plan.ewfmgr, "c: -commit"))
            SleepMilliseconds(plan.waitMs);
        else
            ui.ShowMessage(LocalText(MsgCommitFailed), MB_OK);
        ui.ShowStep(InstallStep::Finished);
        if (!ShellStartHidden(plan.firstRunPath, nullptr)) {
            ui.ShowMessage(LocalText(MsgFirstRunFailed), MB_OK);
            WriteLogLine("启动FirstRun失败!\nFail to Run FirstRun!");
        }
        return;
    }

    std::string installer = JoinPath(plan.installRoot, plan.wow64 ? "InstallDrv_x64.exe" : "InstallDrv_x86.exe");
    if (!installer.empty() && PathExists(installer) &&
        !ShellStartHidden(installer, plan.english ? "-eng" : ""))
        ui.ShowMessage(LocalText(MsgDriverInstallFailed), MB_OK);
    ui.ShowStep(InstallStep::Drivers);
    SleepMilliseconds(plan.waitMs);
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
