#include "release/RunState.h"

#include <ctime>
#include <utility>
#include <vector>

#include "locations/Locations.h"
#include "messages/Messages.h"
#include "platform/DirectoryTree.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/LinkGuard.h"
#include "platform/LocalTime.h"
#include "platform/MachineRegistry.h"
#include "platform/Paths.h"
#include "platform/MultiByte.h"
#include "platform/Profile.h"
#include "platform/StringUtil.h"
#include "platform/SystemInfo.h"
#include "release/RecordFile.h"

const char kRunStateKey[] = "Software\\Velko\\TorneLix\\Setup";
const char kInstalledProgramsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TorneLix";

namespace {
std::string Now() { return LocalTimeText(); }

// The whole file is written beside and put in place in one step: an engine
// reading it meanwhile sees the old state or the new one, never half. The
// boot directory is anyone's: no link there is written through, and a
// failed write's temp file is removed only where it was written.
bool WriteStateFile(const std::string& path, const std::string& text)
{
    return ReplaceFileWithoutLinks(path, text);
}

// The state a run trusts is the copy in the records' directory, where only
// administrators write: written whole beside itself, on the disk before it
// takes the state's name, as the kept and swap records are. A failed write
// leaves the state as it was.
bool WriteTrustedStateFile(const std::string& path, const std::string& text) { return ReplaceRecordText(path, text); }

// What the system's list of installed programs shows of the release in
// place. There is no uninstaller: the command says so and changes nothing.
std::vector<RegistryValue> InstalledProgramsValues(const std::string& release)
{
    const std::string root = InstallRoot();
    unsigned long long bytes = DirectoryTreeBytes(root);
    const std::string product = ProductDir();
    if (!IsSelfOrWithin(product, root))
        bytes += DirectoryTreeBytes(product); // an absolute product directory is part of the program tree
    unsigned long long kilobytes = (bytes + 1023) / 1024;
    std::string cmd = SystemDirectory();
    cmd = cmd.empty() ? "cmd.exe" : "\"" + JoinPath(cmd, "cmd.exe") + "\"";
    std::vector<RegistryValue> values;
    values.push_back({"DisplayName", "Tornelix"});
    values.push_back({"DisplayVersion", release});
    values.push_back({"Publisher", "Velko"});
    values.push_back({"InstallLocation", root});
    values.push_back({"UninstallString", cmd + " /d /c echo " + LocalText(MsgNoUninstaller) + "& pause"});
    RegistryValue number;
    number.isNumber = true;
    number.name = "EstimatedSize";
    number.number = static_cast<unsigned long>(kilobytes > 0xFFFFFFFFull ? 0xFFFFFFFFull : kilobytes);
    values.push_back(number);
    number.name = "NoModify";
    number.number = 1;
    values.push_back(number);
    number.name = "NoRepair";
    values.push_back(number);
    return values;
}

// The state a run trusts is the copy in the records' directory; the file
// beside the setup log is only a report of it (anyone may write there).
// Before that copy is first written, no release is known to be installed:
// the release in place is kept under the name "unknown", as on a machine
// that never had a run state.
bool TrustedStateReadable()
{
    const std::string path = TrustedRunStatePath();
    return KindOfPath(path) == PathKind::file && RecordWritersProblem(path).empty();
}

ReleaseFields ReadFields(const char* section)
{
    if (!TrustedStateReadable())
        return ReleaseFields();
    const std::string path = TrustedRunStatePath();
    return {ProfileGetString(path, section, "Release"), ProfileGetString(path, section, "Digest"),
            ProfileGetString(path, section, "Time"), ProfileGetString(path, section, "Complete")};
}

struct LastRun {
    std::string time, outcome, exitCode;
};

LastRun ReadLastRun()
{
    if (!TrustedStateReadable())
        return LastRun();
    const std::string path = TrustedRunStatePath();
    return {ProfileGetString(path, "LastRun", "Time"), ProfileGetString(path, "LastRun", "Outcome"),
            ProfileGetString(path, "LastRun", "ExitCode")};
}

std::string SectionText(const char* section, const ReleaseFields& fields)
{
    return std::string("[") + section + "]\r\nRelease=" + fields.release + "\r\nDigest=" + fields.digest +
           "\r\nTime=" + fields.time + "\r\n" + (fields.complete.empty() ? "" : "Complete=" + fields.complete + "\r\n");
}

bool g_trustedWriteFailed = false;

// The file whole, and the key's values that changed; the text for the
// setup log of what could not be written.
std::string Write(const ReleaseFields& installed, const ReleaseFields& kept, const LastRun& last,
                  const std::vector<RegistryValue>& values, const ReleaseFields* stagedNow = nullptr)
{
    std::string text = SectionText("Installed", installed);
    if (!kept.release.empty())
        text += SectionText("Kept", kept);
    // The stage outlives every other write until it is switched in or dropped.
    ReleaseFields staged = stagedNow ? *stagedNow : ReadFields("Staged");
    if (!staged.release.empty())
        text += SectionText("Staged", staged);
    if (!last.time.empty())
        text += "[LastRun]\r\nTime=" + last.time + "\r\nOutcome=" + last.outcome + "\r\nExitCode=" + last.exitCode +
                "\r\n";
    std::string problem;
    std::string trusted = TrustedRunStatePath();
    if (!WriteTrustedStateFile(trusted, text)) {
        problem = "运行状态文件无法写入：" + trusted;
        g_trustedWriteFailed = true;
    }
    const std::string path = RunStateFilePath();
    if (!WriteStateFile(path, text))
        problem = (problem.empty() ? "" : problem + "；") + "运行状态文件无法写入：" + path;
    unsigned long error = 0;
    if (!values.empty() && !WriteMachineRegistryValues(kRunStateKey, values, &error)) {
        std::string line = StrPrintf("运行状态无法写入注册表：HKLM\\%s（错误%lu）", kRunStateKey, error);
        problem = problem.empty() ? line : problem + "；" + line;
    }
    // The system's list of installed programs names the release in place
    // after every run that writes the state: an update, a failed update
    // undone (the old release again), a swap. Nothing is known of a release
    // in place before the state first named one: its entry stays as it is.
    if (!installed.release.empty() &&
        !WriteMachineRegistryValues(kInstalledProgramsKey, InstalledProgramsValues(installed.release), &error)) {
        std::string line = StrPrintf("已安装程序列表无法写入注册表：HKLM\\%s（错误%lu）", kInstalledProgramsKey, error);
        problem = problem.empty() ? line : problem + "；" + line;
    }
    return problem;
}

void AddInstalled(std::vector<RegistryValue>& values, const ReleaseFields& installed)
{
    values.push_back({"Release", installed.release});
    values.push_back({"ReleaseDigest", installed.digest});
    values.push_back({"InstalledAt", installed.time});
}

// Empty values: nothing is kept.
void AddKept(std::vector<RegistryValue>& values, const ReleaseFields& kept)
{
    values.push_back({"KeptRelease", kept.release});
    values.push_back({"KeptReleaseDigest", kept.digest});
    values.push_back({"KeptInstalledAt", kept.time});
}
} // namespace

ReleaseFields InstalledReleaseOfState() { return ReadFields("Installed"); }
bool TrustedRunStateWriteFailed() { return g_trustedWriteFailed; }
ReleaseFields KeptReleaseOfState() { return ReadFields("Kept"); }
ReleaseFields StagedReleaseOfState() { return ReadFields("Staged"); }

std::string RecordReleaseStaged(const std::string& setupName, const std::string& digest)
{
    ReleaseFields staged = {setupName, digest, Now(), std::string()};
    std::vector<RegistryValue> values = {
        {"StagedRelease", staged.release}, {"StagedReleaseDigest", staged.digest}, {"StagedAt", staged.time}};
    return Write(ReadFields("Installed"), ReadFields("Kept"), ReadLastRun(), values, &staged);
}

std::string RecordStageGone()
{
    if (ReadFields("Staged").release.empty())
        return std::string();
    ReleaseFields none;
    std::vector<RegistryValue> values = {{"StagedRelease", ""}, {"StagedReleaseDigest", ""}, {"StagedAt", ""}};
    return Write(ReadFields("Installed"), ReadFields("Kept"), ReadLastRun(), values, &none);
}

std::string RecordReleaseInstalled(const std::string& setupName, const std::string& digest, KeptChange change)
{
    ReleaseFields installed = ReadFields("Installed");
    ReleaseFields kept = ReadFields("Kept");
    std::vector<RegistryValue> values;
    switch (change) {
    case KeptChange::unchanged: break;
    case KeptChange::replaced:
        // A release installed before the state was first written is still
        // a release that /ROLLBACK brings back: it is named, if not known.
        kept = installed;
        if (kept.release.empty())
            kept.release = "unknown";
        AddKept(values, kept);
        break;
    case KeptChange::gone:
        kept = ReleaseFields();
        AddKept(values, kept);
        break;
    }
    installed = {setupName, digest, Now(), std::string()};
    AddInstalled(values, installed);
    return Write(installed, kept, ReadLastRun(), values);
}

std::string RecordReleasesSwapped()
{
    ReleaseFields installed = ReadFields("Kept");
    ReleaseFields kept = ReadFields("Installed");
    std::vector<RegistryValue> values;
    AddInstalled(values, installed);
    AddKept(values, kept);
    return Write(installed, kept, ReadLastRun(), values);
}

std::string RecordLastRun(const std::string& outcome, int exitCode, InstallEnd installEnd)
{
    LastRun last{Now(), outcome, std::to_string(exitCode)};
    ReleaseFields installed = ReadFields("Installed");
    if (installEnd != InstallEnd::none && !installed.digest.empty())
        installed.complete = installEnd == InstallEnd::whole ? "yes" : "no";
    std::vector<RegistryValue> values;
    values.push_back({"LastRun", last.time});
    values.push_back({"LastOutcome", last.outcome});
    RegistryValue code;
    code.name = "LastExitCode";
    code.isNumber = true;
    code.number = static_cast<unsigned long>(exitCode);
    values.push_back(code);
    return Write(installed, ReadFields("Kept"), last, values);
}
