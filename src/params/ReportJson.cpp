#include "params/ReportJson.h"

#include "platform/Json.h"
#include "platform/TextEncoding.h"

std::string ReportJson(const ReportJsonHead& head, const std::vector<CarryReport>& reports,
                       const std::vector<std::string>& lines)
{
    JsonWriter json;
    json.BeginObject();
    json.Key("report");
    json.String(GbkToUtf8(head.kind));
    json.Key("version");
    json.Number(kReportJsonVersion);
    json.Key("setupFile");
    json.String(GbkToUtf8(head.setupFile));
    json.Key("exitCode");
    if (head.exitCodeKnown) {
        json.Number(head.exitCode);
    } else {
        // Written mid-run: the run's code is recorded when it ends.
        json.Null();
        json.Key("exitCodeIn");
        json.String("SetupState.ini [LastRun] ExitCode");
    }
    json.Key("outcome");
    json.String(GbkToUtf8(head.outcome));
    json.Key("verdict");
    if (head.verdict.empty())
        json.Null();
    else
        json.String(GbkToUtf8(head.verdict));
    json.Key("configurations");
    json.BeginArray();
    for (const CarryReport& report : reports) {
        json.BeginObject();
        json.Key("name");
        json.String(GbkToUtf8(report.configuration));
        json.Key("carried");
        json.Number(static_cast<long long>(report.carried));
        json.Key("dropped");
        json.BeginArray();
        for (const AmendEntry& entry : report.dropped) {
            json.BeginObject();
            json.Key("name");
            json.String(GbkToUtf8(entry.key));
            json.Key("value");
            json.String(GbkToUtf8(entry.value));
            json.EndObject();
        }
        json.EndArray();
        json.Key("new");
        json.BeginArray();
        for (const AmendEntry& entry : report.added) {
            json.BeginObject();
            json.Key("name");
            json.String(GbkToUtf8(entry.key));
            json.Key("default");
            json.String(GbkToUtf8(entry.value));
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
    }
    json.EndArray();
    json.Key("lines");
    json.BeginArray();
    for (const std::string& line : lines)
        json.String(GbkToUtf8(line));
    json.EndArray();
    json.EndObject();
    return json.Text();
}

const char* CarryOutcomeWord(const std::vector<CarryReport>& reports)
{
    for (const CarryReport& report : reports)
        if (!report.dropped.empty())
            return "values-dropped";
    return "all-carried";
}
