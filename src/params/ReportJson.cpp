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
    auto optional = [&](const char* key, const std::string& text) {
        json.Key(key);
        if (text.empty())
            json.Null();
        else
            json.String(GbkToUtf8(text));
    };
    json.Key("release");
    json.String(GbkToUtf8(head.release));
    optional("digest", head.digest);
    optional("time", head.time);
    optional("computer", head.computer);
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
    optional("verdict", head.verdict);
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
    json.Key("unreadable");
    json.BeginArray();
    for (const auto& config : head.unreadable) {
        json.BeginObject();
        json.Key("name");
        json.String(GbkToUtf8(config.first));
        json.Key("dataFile");
        json.String(GbkToUtf8(config.second));
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
