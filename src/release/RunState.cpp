#include "release/RunState.h"

#include <ctime>
#include <utility>
#include <vector>

#include "locations/Locations.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/LocalTime.h"
#include "platform/MachineRegistry.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/StringUtil.h"

const char kRunStateKey[] = "Software\\Velko\\TorneLix\\Setup";

namespace {
std::string Now()
{
    struct tm local = {};
    if (!LocalTimeOf(time(nullptr), &local))
        return std::string();
    char buf[32];
    size_t n = strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(buf, n);
}

// The whole file is written beside and put in place in one step: an engine
// reading it meanwhile sees the old state or the new one, never half.
bool WriteStateFile(const std::string& path, const std::string& text)
{
    // A full drive leaves an empty temp file behind a failed write: never
    // leave it beside the log.
    std::string temp = path + ".new";
    if (WriteWholeFile(temp, text.data(), text.size()) && ReplaceFileAtomically(temp, path))
        return true;
    RemoveFile(temp);
    return false;
}
} // namespace

namespace {
struct ReleaseFields {
    std::string release, digest, time;
};

ReleaseFields ReadFields(const std::string& path, const char* section)
{
    return {ProfileGetString(path, section, "Release"), ProfileGetString(path, section, "Digest"),
            ProfileGetString(path, section, "Time")};
}

std::string SectionText(const char* section, const ReleaseFields& fields)
{
    return std::string("[") + section + "]\r\nRelease=" + fields.release + "\r\nDigest=" + fields.digest +
           "\r\nTime=" + fields.time + "\r\n";
}
} // namespace

std::string RecordRunState(const RunState& state)
{
    const std::string path = RunStateFilePath();
    const std::string now = Now();
    ReleaseFields installed = ReadFields(path, "Installed");
    ReleaseFields kept = ReadFields(path, "Kept");
    switch (state.kept) {
    case KeptChange::unchanged: break;
    case KeptChange::replaced:
        // A release installed before the state was first written is still
        // a release that /ROLLBACK brings back: it is named, if not known.
        kept = installed;
        if (kept.release.empty())
            kept.release = "unknown";
        break;
    case KeptChange::gone: kept = ReleaseFields(); break;
    case KeptChange::swapped: std::swap(installed, kept); break;
    }
    if (state.releaseInstalled)
        installed = {state.setupName, state.setupDigest, now};
    std::string text = SectionText("Installed", installed);
    if (!kept.release.empty())
        text += SectionText("Kept", kept);
    text += "[LastRun]\r\nTime=" + now + "\r\nOutcome=" + state.outcome +
            "\r\nExitCode=" + std::to_string(state.exitCode) + "\r\n";
    std::string problem;
    if (!WriteStateFile(path, text))
        problem = "运行状态文件无法写入：" + path;

    std::vector<RegistryValue> values;
    if (state.releaseInstalled || state.kept == KeptChange::swapped) {
        values.push_back({"Release", installed.release});
        values.push_back({"ReleaseDigest", installed.digest});
        values.push_back({"InstalledAt", installed.time});
    }
    if (state.kept != KeptChange::unchanged) {
        // Empty values: nothing is kept.
        values.push_back({"KeptRelease", kept.release});
        values.push_back({"KeptReleaseDigest", kept.digest});
        values.push_back({"KeptInstalledAt", kept.time});
    }
    values.push_back({"LastRun", now});
    values.push_back({"LastOutcome", state.outcome});
    RegistryValue code;
    code.name = "LastExitCode";
    code.isNumber = true;
    code.number = static_cast<unsigned long>(state.exitCode);
    values.push_back(code);
    unsigned long error = 0;
    if (!WriteMachineRegistryValues(kRunStateKey, values, &error)) {
        std::string line = StrPrintf("运行状态无法写入注册表：HKLM\\%s（错误%lu）", kRunStateKey, error);
        problem = problem.empty() ? line : problem + "；" + line;
    }
    return problem;
}
