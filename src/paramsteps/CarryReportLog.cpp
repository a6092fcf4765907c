#include "paramsteps/CarryReportLog.h"

#include "deploy/RunReports.h"
#include "logs/SetupLog.h"

std::string WriteCarryReports(const std::vector<CarryReport>& reports, const std::string& kind,
                              const std::vector<std::string>& preface)
{
    std::vector<std::string> lines = preface;
    for (const CarryReport& report : reports)
        for (std::string& line : CarryReportLines(report))
            lines.push_back(std::move(line));
    if (lines.empty())
        return std::string();
    for (const std::string& line : lines)
        WriteLogLine(line);
    std::string path = WriteRunReport(kind, lines);
    WriteLogLine(path.empty() ? "报告文件无法写入（" + kind + "）" : "报告文件：" + path);
    return path;
}
