#include "paramsteps/CarryReportLog.h"

#include "logs/SetupLog.h"
#include "platform/Process.h"

RunReportPaths WriteReport(const std::vector<std::string>& lines, const std::vector<CarryReport>& reports,
                           const ReportJsonHead& head)
{
    if (lines.empty())
        return RunReportPaths();
    for (const std::string& line : lines)
        WriteLogLine(line);
    RunReportPaths paths = WriteRunReport(head.kind, lines, ReportJson(head, reports, lines));
    WriteLogLine(paths.text.empty() ? "报告文件无法写入（" + head.kind + "）" : "报告文件：" + paths.text);
    if (!paths.text.empty())
        WriteLogLine(paths.json.empty() ? "报告文件无法写入（" + head.kind + ".json）" : "报告文件：" + paths.json);
    return paths;
}

std::string WriteCarryReports(const std::vector<CarryReport>& reports, const std::string& kind,
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
    return WriteReport(lines, reports, head).text;
}
