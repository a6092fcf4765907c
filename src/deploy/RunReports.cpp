#include "deploy/RunReports.h"

#include <algorithm>
#include <ctime>
#include <map>

#include "locations/Locations.h"
#include "logs/ReportNames.h"
#include "platform/DirectoryEntries.h"
#include "platform/File.h"
#include "platform/LinkGuard.h"
#include "platform/LocalTime.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"

namespace {
std::string TimeName()
{
    struct tm local = {};
    if (!LocalTimeOf(time(nullptr), &local))
        return "00000000-000000";
    char buf[32];
    size_t n = strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
    return std::string(buf, n);
}

// The boot directory is anyone's: a report is never written, and nothing
// removed, through a link there (the directory or the file).
bool WriteText(const std::string& path, const std::string& text)
{
    BinaryFile file;
    if (!file.Open(path, BinaryFile::modeCreate | BinaryFile::modeWrite | BinaryFile::modeNoLinks))
        return false;
    try {
        file.Write(text.data(), text.size());
        file.Flush();
        file.Close();
    } catch (const FileError&) {
        file.Abort();
        RemoveFileWithoutLinks(path);
        return false;
    }
    return true;
}

// Deletes the kind's oldest reports beyond kKeptReports: the text and the
// JSON of one run go together.
void Prune(const std::string& dir, const std::string& kind)
{
    std::map<std::string, std::vector<std::string>> runs; // sort key -> its files
    for (const char* pattern : {"-*.txt", "-*.json"})
        ForEachEntry(dir, (kind + pattern).c_str(), [&](const DirectoryEntry& entry) {
            if (!entry.IsDirectory())
                runs[RunReportSortKey(entry.name)].push_back(entry.name);
            return true;
        });
    size_t excess = runs.size() > kKeptReports ? runs.size() - kKeptReports : 0;
    for (auto run = runs.begin(); excess > 0; ++run, --excess)
        for (const std::string& name : run->second)
            RemoveFileWithoutLinks(JoinPath(dir, name));
}
} // namespace

RunReportPaths WriteRunReport(const std::string& kind, const std::vector<std::string>& lines,
                              const std::string& json)
{
    const std::string dir = BootDir();
    const std::string stem = kind + "-" + TimeName();
    RunReportPaths paths;
    // Not even listed for pruning where the boot directory is a link.
    if (!LinkOnPath(dir).empty())
        return paths;
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    for (int n = 1; n < 100 && paths.text.empty(); ++n) {
        std::string base = JoinPath(dir, StrPrintf("%s-%02d", stem.c_str(), n));
        if (FileExists(base + ".txt") || FileExists(base + ".json"))
            continue;
        if (!WriteText(base + ".txt", text))
            break;
        paths.text = base + ".txt";
        if (!json.empty() && WriteText(base + ".json", json))
            paths.json = base + ".json";
    }
    Prune(dir, kind);
    return paths;
}
