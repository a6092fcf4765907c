#include <gtest/gtest.h>

#include <string>

#include "Controller.h"
#include "FleetPage.h"
#include "ReportFile.h"
#include "RunStateFile.h"
#include "SetupLogFile.h"
#include "params/ReportJson.h"
#include "platform/File.h"
#include "support/ScratchDir.h"

namespace {
void Write(const std::string& path, const std::string& text) { ASSERT_TRUE(WriteWholeFile(path, text.data(), text.size())); }

// A log line as the setup writes it (GBK: the literals are GBK in the program).
std::string LogLine(const std::string& time, const std::string& text) { return time + "\t" + text + "\r\n"; }

const char kState[] = "[Installed]\r\nRelease=Setup.exe\r\nDigest=0123456789abcdef0123456789abcdef\r\n"
                      "Time=2026-12-01 10:00:00\r\n[Kept]\r\nRelease=unknown\r\nDigest=\r\nTime=\r\n"
                      "[LastRun]\r\nTime=2026-12-01 10:00:00\r\nOutcome=installed\r\nExitCode=0\r\n";
} // namespace

TEST(FleetRunState, ReadsTheSectionsAndToleratesKeysThatMovedOrAreMissing)
{
    RunStateFacts facts = ParseRunState(kState);
    ASSERT_TRUE(facts.reading.Ok());
    EXPECT_EQ(facts.installed.name, "Setup.exe");
    EXPECT_EQ(facts.installed.digest, "0123456789abcdef0123456789abcdef");
    EXPECT_TRUE(facts.kept.present);
    EXPECT_EQ(facts.kept.name, "unknown");
    EXPECT_EQ(facts.lastOutcome, "installed");
    ASSERT_TRUE(facts.exitCodeKnown);
    EXPECT_EQ(facts.exitCode, 0);

    // A later run state: a release name of its own, the registry's names for
    // the last run, no [Kept], GBK text in a value.
    facts = ParseRunState("[Installed]\nName=2026.2 \xB2\xE2\xCA\xD4\nRelease=Setup.exe\nReleaseDigest=ab\n"
                          "[Run]\nLastRun=2026-12-02 08:00:00\nLastOutcome=nothing-changed\nLastExitCode=2\n");
    ASSERT_TRUE(facts.reading.Ok()) << facts.reading.problem;
    EXPECT_EQ(facts.installed.name, u8"2026.2 测试");
    EXPECT_EQ(facts.installed.digest, "ab");
    EXPECT_FALSE(facts.kept.present);
    EXPECT_EQ(facts.lastTime, "2026-12-02 08:00:00");
    EXPECT_EQ(facts.exitCode, 2);

    // Only [Installed]: the last run is unknown, not an error.
    facts = ParseRunState("[Installed]\r\nRelease=Setup.exe\r\n");
    ASSERT_TRUE(facts.reading.Ok());
    EXPECT_FALSE(facts.lastRunKnown);
    EXPECT_FALSE(facts.exitCodeKnown);
}

TEST(FleetRunState, DamagedAndMissingFilesAreSaidSo)
{
    for (const char* text : {"", "\x01\x02\x00garbage", "[Installed]\r\nRelease=Setup.exe\r\nthis is no ini line\r\n",
                             "[LastRun]\r\nExitCode=zero\r\n", "[Installed\r\nRelease=x\r\n", "just=one\r\n"}) {
        RunStateFacts facts = ParseRunState(std::string(text, text[0] == '\x01' ? 10 : strlen(text)));
        EXPECT_EQ(facts.reading.state, FileState::damaged) << text;
        EXPECT_NE(facts.reading.problem.find("SetupState.ini is damaged"), std::string::npos) << facts.reading.problem;
    }
    ScratchDir dir("fleet-state");
    RunStateFacts missing = ReadRunState(dir / "SetupState.ini");
    EXPECT_EQ(missing.reading.state, FileState::missing);
}

TEST(FleetSetupLog, FindsTheLastRunItsClosingLineOrThatItWasCut)
{
    std::string log = LogLine("2026-12-01 09:00:00", "SetUp启动") + LogLine("2026-12-01 09:00:00", "命令行：/S") +
                      LogLine("2026-12-01 09:05:00", "静默安装结束，退出代码 1");
    SetupLogFacts facts = ParseSetupLog(log);
    ASSERT_TRUE(facts.reading.Ok());
    EXPECT_TRUE(facts.closed);
    EXPECT_EQ(facts.closingCode, 1);
    EXPECT_TRUE(facts.silent);
    EXPECT_FALSE(facts.check);

    // A second run, killed: no closing line after its start; the log's last
    // closing line is still the first run's.
    log += LogLine("2026-12-02 09:00:00", "SetUp启动") + LogLine("2026-12-02 09:00:00", "命令行：/s /wait=600") +
           LogLine("2026-12-02 09:00:01", "发现未完成的安装，恢复原来的版本");
    facts = ParseSetupLog(log);
    EXPECT_EQ(facts.startTime, "2026-12-02 09:00:00");
    EXPECT_FALSE(facts.closed);
    EXPECT_TRUE(facts.silent);
    EXPECT_TRUE(facts.undidCutRun);
    EXPECT_TRUE(facts.anyClosing);
    EXPECT_EQ(facts.lastClosingCode, 1);

    facts = ParseSetupLog(log + LogLine("2026-12-02 09:01:00", "命令行：/S /CHECK is no command line of this run") +
                          LogLine("2026-12-03 07:00:00", "SetUp启动") + LogLine("2026-12-03 07:00:00", "命令行：/S /CHECK") +
                          LogLine("2026-12-03 07:00:09", "静默安装结束，退出代码 9"));
    EXPECT_TRUE(facts.check);
    EXPECT_EQ(facts.closingCode, 9);

    EXPECT_EQ(ParseSetupLog("").reading.state, FileState::damaged);
    EXPECT_EQ(ParseSetupLog(std::string("SetUp\0\0\0", 8)).reading.state, FileState::damaged);
    EXPECT_EQ(ParseSetupLog("nothing the setup wrote\r\n").reading.state, FileState::damaged);
    ScratchDir dir("fleet-log");
    EXPECT_EQ(ReadSetupLog(dir / "SetUp.log").reading.state, FileState::missing);
}

TEST(FleetReports, TheSetupsJsonReadsBackWithEveryValueWhateverItsCharacters)
{
    // Values a machine may hold: quotes, backslashes, a tab, GBK text, and a
    // byte that is no GBK at all.
    CarryReport report;
    report.configuration = "\xC4\xA5\xB4\xB2"; // 磨床
    report.carried = 41;
    report.dropped = {{"m_szPath", "D:\\Velko\\\"new\"\ttab"}, {"m_szName", "\xB2\xE2\xCA\xD4"}, {"m_bad", "\xFF"}};
    report.added = {{"m_fNewFeed", "7.5"}};
    ReportJsonHead head;
    head.kind = "CheckReport";
    head.exitCodeKnown = true;
    head.exitCode = 11;
    head.outcome = "ready-values-not-carried";
    head.verdict = "结论：可以更新，但部分参数不会迁移";
    std::string json = ReportJson(head, {report}, CarryReportLines(report));

    ReportFacts facts = ParseReportJson(json, "CheckReport-20261201-100000-01.json");
    ASSERT_TRUE(facts.reading.Ok()) << facts.reading.problem << "\n" << json;
    EXPECT_EQ(facts.time, "2026-12-01 10:00:00");
    ASSERT_TRUE(facts.exitCodeKnown);
    EXPECT_EQ(facts.exitCode, 11);
    EXPECT_EQ(facts.verdict, u8"结论：可以更新，但部分参数不会迁移");
    ASSERT_EQ(facts.configurations.size(), 1u);
    const ConfigurationCarry& carry = facts.configurations[0];
    EXPECT_EQ(carry.name, u8"磨床");
    EXPECT_EQ(carry.carried, 41);
    ASSERT_EQ(carry.dropped.size(), 3u);
    EXPECT_EQ(carry.dropped[0].second, "D:\\Velko\\\"new\"\ttab");
    EXPECT_EQ(carry.dropped[1].second, u8"测试");
    EXPECT_EQ(carry.dropped[2].second, "\xEF\xBF\xBD");
    ASSERT_EQ(carry.added.size(), 1u);
    EXPECT_EQ(carry.added[0], std::make_pair(std::string("m_fNewFeed"), std::string("7.5")));

    // A carry report is written before the run ends: no exit code.
    head.kind = "CarryReport";
    head.exitCodeKnown = false;
    facts = ParseReportJson(ReportJson(head, {report}, {}), "CarryReport-20261201-100000-01.json");
    ASSERT_TRUE(facts.reading.Ok());
    EXPECT_FALSE(facts.exitCodeKnown);
}

TEST(FleetReports, TheNewestByTimeAcrossOlderAndCurrentNamesAndDamagedOnesSaidSo)
{
    ScratchDir dir("fleet-reports");
    auto text = [](const std::string& config, int dropped) {
        std::string t = "配置" + config + "：迁移3个值，丢弃" + std::to_string(dropped) + "个值，新成员0个\r\n";
        for (int i = 0; i < dropped; ++i)
            t += "  丢弃（新版本没有此成员）：m_f" + std::to_string(i) + " = 1.5\r\n";
        return t;
    };
    // Older names: the second run of one second sorted before the first by
    // text; the current name of a later second after both.
    Write(dir / "CarryReport-20261201-212916.txt", text("First", 0));
    Write(dir / "CarryReport-20261201-212916-2.txt", text("Second", 2));
    ReportFacts facts = ReadNewestReport(dir.Root(), "CarryReport");
    ASSERT_TRUE(facts.reading.Ok()) << facts.reading.problem;
    EXPECT_FALSE(facts.fromJson);
    ASSERT_EQ(facts.configurations.size(), 1u);
    EXPECT_EQ(facts.configurations[0].name, "Second");
    EXPECT_EQ(facts.Dropped(), 2u);

    // The current run's JSON is damaged: said so, and its text twin read.
    Write(dir / "CarryReport-20261201-212917-01.txt", text("Third", 1));
    Write(dir / "CarryReport-20261201-212917-01.json", "{\"report\": \"CarryReport\", \"configurations\": [");
    facts = ReadNewestReport(dir.Root(), "CarryReport");
    ASSERT_TRUE(facts.reading.Ok());
    EXPECT_EQ(facts.configurations[0].name, "Third");
    EXPECT_NE(facts.reading.problem.find("CarryReport-20261201-212917-01.json is damaged"), std::string::npos)
        << facts.reading.problem;

    // Damaged alone: no counts, the damage said.
    Write(dir / "CheckReport-20261201-212917-01.json", "{\"report\": 5}");
    facts = ReadNewestReport(dir.Root(), "CheckReport");
    EXPECT_EQ(facts.reading.state, FileState::damaged);
    EXPECT_EQ(ReadNewestReport(dir.Root(), "NoSuchReport").reading.state, FileState::missing);
}

TEST(FleetController, ACutRunADamagedFileAndALaterCheckDecideWhoNeedsSomeone)
{
    ScratchDir dir("fleet-controller");
    Write(dir / "SetupState.ini", kState);
    // After the recorded update, a run killed half-way.
    Write(dir / "SetUp.log", LogLine("2026-12-01 09:59:00", "SetUp启动") + LogLine("2026-12-01 09:59:00", "命令行：/S") +
                                 LogLine("2026-12-01 10:00:00", "静默安装结束，退出代码 0") +
                                 LogLine("2026-12-05 08:00:00", "SetUp启动") + LogLine("2026-12-05 08:00:00", "命令行：/S"));
    Controller c = ReadController(dir.Root(), "Mill-07");
    EXPECT_EQ(c.outcome, "run-cut");
    EXPECT_FALSE(c.exitCodeKnown);
    EXPECT_EQ(c.attention.urgency, ActionForCutRun().urgency);
    EXPECT_TRUE(c.problems.empty());

    // The same with the log's run closed: the run state's update is the last
    // run, and a /CHECK after it that found a damaged configuration is what
    // needs someone.
    Write(dir / "SetUp.log", LogLine("2026-12-01 09:59:00", "SetUp启动") + LogLine("2026-12-01 09:59:00", "命令行：/S") +
                                 LogLine("2026-12-01 10:00:00", "静默安装结束，退出代码 0"));
    ReportJsonHead head;
    head.kind = "CheckReport";
    head.exitCodeKnown = true;
    head.exitCode = 9;
    Write(dir / "CheckReport-20261206-100000-01.json", ReportJson(head, {}, {"结论：不能更新"}));
    c = ReadController(dir.Root(), "Mill-07");
    EXPECT_EQ(c.outcome, "installed");
    EXPECT_EQ(c.exitCode, 0);
    EXPECT_TRUE(c.checkIsCurrent);
    EXPECT_EQ(c.attention.code, 9);
    EXPECT_NE(std::string(c.attention.meaning).find("check"), std::string::npos);

    // A damaged run state: the row says so and the controller needs someone.
    Write(dir / "SetupState.ini", std::string("\0\0\0\0", 4));
    c = ReadController(dir.Root(), "Mill-07");
    ASSERT_EQ(c.problems.size(), 1u);
    EXPECT_NE(c.problems[0].find("SetupState.ini is damaged"), std::string::npos);
    EXPECT_LT(c.attention.urgency, kNoOneNeeded);
    std::string page = FleetPage({c}, {"collected", "now"});
    EXPECT_NE(page.find("SetupState.ini is damaged"), std::string::npos);

    // An empty folder is a row that says nothing was collected.
    ScratchDir empty("fleet-empty");
    c = ReadController(empty.Root(), "<Lathe & 2>");
    EXPECT_EQ(c.outcome, "no-files");
    ASSERT_FALSE(c.problems.empty());
    page = FleetPage({c}, {"collected", "now"});
    EXPECT_NE(page.find("&lt;Lathe &amp; 2&gt;"), std::string::npos);
    EXPECT_EQ(page.find("<Lathe"), std::string::npos);
}
