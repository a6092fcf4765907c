// Machine-level pieces of a release: system files, kernel drivers and the
// programs started after the install (network batch, write-filter commit,
// first-run program, driver installer). Windows only.
#pragma once
#include <functional>
#include <string>

class InstallPort;

// Called with each file of the system or drivers directory before the run
// writes it (so that an undo can put the machine's own back); false leaves
// that file as it is.
using BeforeSharedWrite = std::function<bool(const std::string& target)>;

// The instance mutex that InstallDrv_x86.exe / InstallDrv_x64.exe hold while
// they run: their stem, a dot and the maker's domain. The driver installer
// must use exactly this name.
inline constexpr char kDriverInstallerMutexName[] = "InstallDrv.velko.com";

// State 7: files of the release's "directx" directory into the system
// directory (never replacing), and before NT 6 also into its parent.
void CopyReleaseSystemFiles(const BeforeSharedWrite& before);
void CopySystemFilesTo(const std::string& installRoot, const std::string& systemDirectory, bool modern,
                       const BeforeSharedWrite& before = nullptr);

// State 12: every productDir + "*.sys" into the drivers directory, each
// copied whole beside its old copy and then put in its place. productDir ends
// with a backslash. A failure keeps the old driver, names the file and goes
// on with the next one, through ui.
void InstallDriverFiles(InstallPort& ui, const std::string& productDir, const BeforeSharedWrite& before);
void InstallDriverFilesTo(InstallPort& ui, const std::string& productDir, const std::string& driversDirectory,
                          const BeforeSharedWrite& before = nullptr);

// What state 16 works with; PostInstallPlanForThisMachine() fills it from the
// installation locations and the platform.
struct PostInstallPlan {
    std::string installRoot;      // with a trailing backslash
    bool writeFilter = false;     // IsWriteFilterSystem
    bool packup = false;          // the Packup setting
    std::string bootIni;          // BootIni
    std::string firstRunPath;     // FirstRunPath
    std::string ewfmgr = "ewfmgr"; // found through the search path in the field
    bool wow64 = false;           // a 32-bit process on 64-bit Windows
    bool english = false;         // language is English
    unsigned waitMs = 1000;       // pause after the commit / the driver installer
};
PostInstallPlan PostInstallPlanForThisMachine();

// State 16: the network batch, then either the write-filter notices in
// Boot.ini, "ewfmgr c: -commit" and the first-run program, or the driver
// installer for the system's width ("-eng" in English). Shows labels 149/150
// and the OK-only failure messages through ui; writes the setup-log lines.
void StartPostInstallPrograms(InstallPort& ui);
void StartPostInstallPrograms(InstallPort& ui, const PostInstallPlan& plan);

// True while another process holds kDriverInstallerMutexName. After a false
// answer its probe handle stays open until the next probe, which lets it go
// first so that the probe never mistakes its own handle for the installer.
bool IsDriverInstallerRunning();

// Depth first below root: the directory that holds a subdirectory named
// exactly name (the last one found), or empty.
std::string FindDirectoryParent(const std::string& root, const std::string& name);
