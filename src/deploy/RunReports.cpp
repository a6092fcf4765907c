#include "deploy/RunReports.h"

#include <algorithm>
#include <ctime>

#include "locations/Locations.h"
#include "platform/DirectoryEntries.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
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

// The kind's files, oldest first: their names without ".txt" sort by time,
// a "-n" of the same second after the plain name.
std::vector<std::string> ReportsOf(const std::string& dir, const std::string& kind)
{
    std::vector<std::string> names;
    ForEachEntry(dir, (kind + "-*.txt").c_str(), [&](const DirectoryEntry& entry) {
        if (!entry.IsDirectory())
            names.push_back(entry.name);
        return true;
    });
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.substr(0, a.size() - 4) < b.substr(0, b.size() - 4);
    });
    return names;
}
} // namespace

std::string WriteRunReport(const std::string& kind, const std::vector<std::string>& lines)
{
    const std::string dir = BootDir();
    const std::string stem = kind + "-" + TimeName();
    std::string path;
    BinaryFile file;
    for (int n = 1; n < 100 && path.empty(); ++n) {
        std::string candidate = JoinPath(dir, n == 1 ? stem + ".txt" : StrPrintf("%s-%d.txt", stem.c_str(), n));
        if (!FileExists(candidate) && file.Open(candidate, BinaryFile::modeCreate | BinaryFile::modeWrite))
            path = candidate;
    }
    if (path.empty())
        return std::string();
    try {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        file.Write(text.data(), text.size());
        file.Flush();
        file.Close();
    } catch (const FileError&) {
        file.Abort();
        RemoveFile(path);
        return std::string();
    }
    std::vector<std::string> reports = ReportsOf(dir, kind);
    for (size_t i = 0; i + kKeptReports < reports.size(); ++i)
        RemoveFile(JoinPath(dir, reports[i]));
    return path;
}
