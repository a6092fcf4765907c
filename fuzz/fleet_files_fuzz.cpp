// fuzz-libs: tlx_fleet tlx_params default
// fuzz-max-len: 8192
// The fleet page's readers, two ways. Arbitrary bytes as a collected file of
// any kind may hold them: the run state, the setup log, a report as JSON and
// as text, then a controller's conclusions and its page; none may crash, a
// file not read says why, the page is UTF-8 and holds the row. And files as
// the setup writes them, made from the input (a release name, a value, an
// exit code, switches, the line that ends the run): what each reader gives
// back must be what went in, and the page must name the release and the
// reason.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "Controller.h"
#include "FleetPage.h"
#include "params/ReportJson.h"
#include "platform/Json.h"
#include "platform/TextEncoding.h"

namespace {
void Require(bool condition)
{
    if (!condition)
        abort();
}

void Said(const FileReading& reading) { Require(reading.Ok() || !reading.problem.empty()); }

// A value as the setup writes it on one line: no line breaks, no NUL, no
// blanks at its ends (the INI reader trims them), never empty.
std::string OneLine(std::string text)
{
    std::string out;
    for (char ch : text)
        if (ch != '\r' && ch != '\n' && ch != '\0')
            out.push_back(ch);
    size_t b = out.find_first_not_of(" \t"), e = out.find_last_not_of(" \t");
    return b == std::string::npos ? std::string("x") : out.substr(b, e - b + 1);
}

// As the readers give a value the setup wrote: UTF-8 stays, GBK is converted.
std::string AsRead(const std::string& text) { return IsValidUtf8(text) ? text : GbkToUtf8(text); }

void ArbitraryBytes(const std::string& text)
{
    Controller c;
    c.name = text.substr(0, 12);
    c.state = ParseRunState(text);
    c.log = ParseSetupLog(text);
    c.carry = ParseReportJson(text, "CarryReport-20261201-100000-01.json");
    c.check = ParseReportText(text, "CheckReport-20261201-100000-01.txt");
    Said(c.state.reading);
    Said(c.log.reading);
    Said(c.carry.reading);
    Said(c.check.reading);
    Conclude(c);
    std::string page = FleetPage({c}, {"collected", "now"});
    Require(IsValidUtf8(page));
    Require(page.find("<tr id=\"c-0\"") != std::string::npos);

    JsonValue value;
    std::string error;
    Require(ParseJson(JsonQuoted(text), &value, &error) && value.type == JsonValue::string);
    Require(IsValidUtf8(value.text));
    if (IsValidUtf8(text))
        Require(value.text == text);
}

void WrittenBySetup(FuzzedDataProvider& in)
{
    const std::string release = OneLine(in.ConsumeRandomLengthString(80));
    const std::string value = in.ConsumeRandomLengthString(80);
    const std::string computer = OneLine(in.ConsumeRandomLengthString(20));
    const long codes[] = {1618, 2, 15, 8, 9, 1, 4, 5};
    const long code = in.PickValueInArray(codes);
    const bool check = in.ConsumeBool(), engineCodes = in.ConsumeBool();
    const struct {
        std::string line, kind;
    } reasons[] = {
        {"静默安装：控制程序在600秒后仍在运行，没有做任何更改，现在退出。", "control program"},
        {"静默安装：另一个安装程序在600秒后仍在运行（互斥体 x），没有做任何更改，现在退出。", "another setup"},
        {"安装记录无法写入，停止安装：D:\\Velko\\Boot\\SetUp.journal", "drive"},
        {"文件被占用，未删除：" + release, "file"},
        {"参数无法保留的配置：Mill,Lathe", "configuration"},
    };
    const auto& reason = reasons[in.ConsumeIntegralInRange<size_t>(0, 4)];
    const std::string digest = "0123456789abcdef0123456789abcdef";
    std::string commandLine = check ? "/s /Check" : "/S";
    if (engineCodes)
        commandLine += " /EngineCodes";

    // The run state: the installed release and the last run's code.
    RunStateFacts state = ParseRunState("[Installed]\r\nRelease=" + release + "\r\nDigest=" + digest +
                                        "\r\n[LastRun]\r\nTime=2026-12-01 09:00:00\r\nExitCode=" +
                                        std::to_string(code) + "\r\n");
    Require(state.reading.Ok());
    Require(state.installed.name == AsRead(release) && state.installed.digest == digest);
    Require(state.exitCodeKnown && state.exitCode == code);

    // The log: a wait that a later line outweighs, then the line that ended it.
    auto line = [](const std::string& time, const std::string& text) { return time + "\t" + text + "\r\n"; };
    std::string log = line("2026-12-01 08:00:00", "SetUp启动") + line("2026-12-01 08:00:00", "命令行：" + commandLine) +
                      line("2026-12-01 08:00:00", "安装文件版本：" + release + "，摘要 " + digest + "（D:\\Deploy\\Setup.exe）") +
                      line("2026-12-01 08:00:01", "控制程序正在运行（互斥体 kvt_TORNELIX_7000{0}）") +
                      line("2026-12-01 08:10:00", reason.line) +
                      line("2026-12-01 08:10:00", "静默安装结束，退出代码 " + std::to_string(code));
    SetupLogFacts facts = ParseSetupLog(log);
    Require(facts.reading.Ok() && facts.runFound && facts.check == check && facts.silent);
    const LogRun& run = check ? facts.lastCheck : facts.lastUpdate;
    Require(run.found && run.closed && run.closingCode == code && !(check ? facts.lastUpdate : facts.lastCheck).found);
    Require(run.release == GbkToUtf8(release) && run.digest == digest);
    Require(run.reason.kind == reason.kind && run.reason.line == GbkToUtf8(reason.line));

    // A report as the setup writes it, read back whole.
    ReportJsonHead head;
    head.kind = check ? "CheckReport" : "CarryReport";
    head.release = release;
    head.digest = digest;
    head.time = "2026-12-01T08:10:00+08:00";
    head.computer = computer;
    head.setupFile = "D:\\Deploy\\Setup.exe";
    head.exitCodeKnown = check;
    head.exitCode = static_cast<int>(code);
    head.unreadable = {{release, value}};
    CarryReport carry;
    carry.configuration = "Mill";
    carry.carried = 3;
    carry.dropped = {{"m_f", value}};
    ReportFacts report = ParseReportJson(ReportJson(head, {carry}, {reason.line}), head.kind + "-20261201-081000-01.json");
    Require(report.reading.Ok());
    Require(report.release == GbkToUtf8(release) && report.digest == digest && report.computer == GbkToUtf8(computer));
    Require(report.writtenAt == head.time);
    Require(report.exitCodeKnown == check && (!check || report.exitCode == code));
    Require(report.unreadable.size() == 1 && report.unreadable[0].first == GbkToUtf8(release) &&
            report.unreadable[0].second == GbkToUtf8(value));
    Require(report.configurations.size() == 1 && report.configurations[0].dropped.size() == 1 &&
            report.configurations[0].dropped[0].second == GbkToUtf8(value));
    Require(report.lines.size() == 1 && report.lines[0] == GbkToUtf8(reason.line));

    // The page over an update's files names the run's release and, when
    // someone is needed, its reason.
    if (!check) {
        Controller c;
        c.name = "Mill-07";
        c.state = state;
        c.log = facts;
        Conclude(c);
        Require(c.runRelease == GbkToUtf8(release));
        std::string page = FleetPage({c}, {"collected", "now"});
        Require(IsValidUtf8(page));
        Require(page.find("for " + HtmlEscaped(GbkToUtf8(release))) != std::string::npos);
        if (c.attention.urgency < kNoOneNeeded)
            Require(c.reason.kind == reason.kind && page.find(HtmlEscaped(reason.kind)) != std::string::npos);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ArbitraryBytes(std::string(reinterpret_cast<const char*>(data), size));
    FuzzedDataProvider in(data, size);
    WrittenBySetup(in);
    return 0;
}
