#include "paramsteps/CarryReportLog.h"

#include "logs/SetupLog.h"
#include "platform/LocalTime.h"
#include "platform/Process.h"
#include "platform/SystemInfo.h"
#include "setupfile/SetupDigest.h"

namespace {
// What every report says of the run that wrote it, so that a report collected
// alone still names its release, its machine and its time.
ReportJsonHead WithRunFacts(ReportJsonHead head)
{
    if (head.setupFile.empty())
        head.setupFile = RunningProgramPath();
    if (head.release.empty()) {
        head.release = RecordedReleaseName(head.setupFile);
        if (head.release.empty())
            head.release = head.setupFile.substr(head.setupFile.find_last_of('\\') + 1);
    }
    if (head.digest.empty())
        head.digest = RecordedSetupDigest(head.setupFile);
    if (head.time.empty())
        head.time = LocalTimeIso8601();
    if (head.computer.empty())
        head.computer = ComputerName();
    return head;
}
} // namespace

RunReportPaths WriteReport(const std::vector<std::string>& lines, const std::vector<CarryReport>& reports,
                           const ReportJsonHead& given)
{
    if (lines.empty() && given.unreadable.empty())
        return RunReportPaths();
    for (const std::string& line : lines)
        WriteLogLine(line);
    ReportJsonHead head = WithRunFacts(given);
    RunReportPaths paths = WriteRunReport(head.kind, lines, ReportJson(head, reports, lines));
    WriteLogLine(paths.text.empty() ? "报告文件无法写入（" + head.kind + "）" : "报告文件：" + paths.text);
    if (!paths.text.empty())
        WriteLogLine(paths.json.empty() ? "报告文件无法写入（" + head.kind + ".json）" : "报告文件：" + paths.json);
    return paths;
}

std::string WriteCarryReports(const std::vector<CarryReport>& reports, const std::string& kind,
                              const std::vector<std::pair<std::string, std::string>>& unreadable,
                              const std::vector<std::string>& preface)
{
    std::vector<std::string> lines = preface;
    for (const CarryReport& report : reports)
        for (std::string& line : CarryReportLines(report))
            lines.push_back(std::move(line));
    ReportJsonHead head;
    head.kind = kind;
    head.setupFile = RunningProgramPath();
    head.outcome = CarryOutcomeWord(reports);
    head.unreadable = unreadable;
    return WriteReport(lines, reports, head).text;
}
