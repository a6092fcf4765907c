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
    // Each damage with the reason the page gives for it.
    const struct {
        std::string text, problem;
    } cases[] = {
        {"", "it is empty"},
        {std::string("\x01\x02\x00garbage", 10), "it is not text"},
        {"[Installed]\r\nRelease=Setup.exe\r\nthis is no ini line\r\n", "line 3 is not a key=value line"},
        {"[LastRun]\r\nExitCode=zero\r\n", "its exit code \"zero\" is not a number"},
        {"[Installed\r\nRelease=x\r\n", "line 1 opens a section it does not close"},
        {"just=one\r\n", "it holds neither [Installed] nor [LastRun]"},
    };
    for (const auto& damage : cases) {
        RunStateFacts facts = ParseRunState(damage.text);
        EXPECT_EQ(facts.reading.state, FileState::damaged) << damage.text;
        EXPECT_EQ(facts.reading.problem, "SetupState.ini is damaged: " + damage.problem);
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

    // A closing line cut before its code (the disk full at that instant) is
    // no exit 0: the run did not say how it ended.
    facts = ParseSetupLog(log + LogLine("2026-12-02 09:09:00", "静默安装结束，退出代码 "));
    EXPECT_FALSE(facts.closed);
    EXPECT_FALSE(facts.anyClosing);

    EXPECT_EQ(ParseSetupLog("").reading.problem, "SetUp.log is damaged: it is empty");
    EXPECT_EQ(ParseSetupLog(std::string("SetUp\0\0\0", 8)).reading.problem, "SetUp.log is damaged: it is not text");
    EXPECT_EQ(ParseSetupLog("nothing the setup wrote\r\n").reading.problem,
              "SetUp.log is damaged: it holds no run of the setup");
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
    head.release = "2026.2 \xB2\xE2\xCA\xD4"; // GBK, as the setup file records it
    head.digest = "0123456789abcdef0123456789abcdef";
    head.time = "2026-12-01T10:00:00+08:00";
    head.computer = "MILL-07";
    head.unreadable = {{"\xB3\xB5\xB4\xB2", "D:\\NcFiles\\config\\Lathe\\tornelix.dat"}}; // 车床
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
    // What the report says of its run.
    EXPECT_EQ(facts.release, u8"2026.2 测试");
    EXPECT_EQ(facts.digest, head.digest);
    EXPECT_EQ(facts.writtenAt, head.time);
    EXPECT_EQ(facts.computer, "MILL-07");
    ASSERT_EQ(facts.unreadable.size(), 1u);
    EXPECT_EQ(facts.unreadable[0], std::make_pair(std::string(u8"车床"), std::string("D:\\NcFiles\\config\\Lathe\\tornelix.dat")));

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
    EXPECT_EQ(facts.reading.problem, "CarryReport-20261201-212917-01.json is damaged: not JSON (line 1: ends where a "
                                     "value should be); read from CarryReport-20261201-212917-01.txt");

    // Damaged alone: no counts, the damage said.
    Write(dir / "CheckReport-20261201-212917-01.json", "{\"report\": 5}");
    facts = ReadNewestReport(dir.Root(), "CheckReport");
    EXPECT_EQ(facts.reading.state, FileState::damaged);
    EXPECT_EQ(facts.reading.problem,
              "CheckReport-20261201-212917-01.json is damaged: not a report (no \"report\" member)");
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
    // Where it stopped, for the operator to read before running it again.
    EXPECT_EQ(c.reason.kind, "last line");
    EXPECT_EQ(c.reason.line, u8"命令行：/S");

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

    // A /CHECK started after the run state's last run, and cut: it is no
    // run of the release, and not the last run on the page.
    Write(dir / "SetUp.log", LogLine("2026-12-01 09:59:00", "SetUp启动") + LogLine("2026-12-01 09:59:00", "命令行：/S") +
                                 LogLine("2026-12-01 10:00:00", "静默安装结束，退出代码 0") +
                                 LogLine("2026-12-06 11:00:00", "SetUp启动") +
                                 LogLine("2026-12-06 11:00:00", "命令行：/S /CHECK"));
    c = ReadController(dir.Root(), "Mill-07");
    EXPECT_EQ(c.outcome, "installed");
    EXPECT_TRUE(c.exitCodeKnown);
    EXPECT_EQ(c.exitCode, 0);
    EXPECT_EQ(c.lastStart, "2026-12-01 09:59:00");

    // A damaged run state: the row says why and the controller needs someone.
    Write(dir / "SetupState.ini", std::string("\0\0\0\0", 4));
    c = ReadController(dir.Root(), "Mill-07");
    ASSERT_EQ(c.problems.size(), 1u);
    EXPECT_NE(c.problems[0].find("SetupState.ini is damaged: it is not text"), std::string::npos) << c.problems[0];
    EXPECT_LT(c.attention.urgency, kNoOneNeeded);
    std::string page = FleetPage({c}, {"collected", "now"});
    EXPECT_NE(page.find("SetupState.ini is damaged: it is not text"), std::string::npos);

    // An empty folder is a row that says nothing was collected.
    ScratchDir empty("fleet-empty");
    c = ReadController(empty.Root(), "<Lathe & 2>");
    EXPECT_EQ(c.outcome, "no-files");
    ASSERT_FALSE(c.problems.empty());
    page = FleetPage({c}, {"collected", "now"});
    EXPECT_NE(page.find("&lt;Lathe &amp; 2&gt;"), std::string::npos);
    EXPECT_EQ(page.find("<Lathe"), std::string::npos);
}

TEST(FleetController, TheReasonTheReleaseAndWhatIsFromBeforeTheLastRun)
{
    ScratchDir dir("fleet-age");
    const std::string d20(32, 'a'), d21(32, 'b');
    // An update to 2.0 that carried values, a /CHECK of 2.1 that found a
    // damaged configuration, then an update to 2.1 under /ENGINECODES that
    // met the control program: 1618.
    const std::string before =
        LogLine("2026-12-01 09:59:00", "SetUp启动") + LogLine("2026-12-01 09:59:00", "命令行：/S") +
        LogLine("2026-12-01 09:59:00", "安装文件版本：Transfer 2.0，摘要 " + d20 + "（D:\\Deploy\\Setup.exe）") +
        LogLine("2026-12-01 09:59:30", "报告文件：D:\\Velko\\Boot\\CarryReport-20261201-095930-01.txt") +
        LogLine("2026-12-01 09:59:30", "报告文件：D:\\Velko\\Boot\\CarryReport-20261201-095930-01.json") +
        LogLine("2026-12-01 10:00:00", "静默安装结束，退出代码 0") +
        LogLine("2026-12-03 07:59:59", "SetUp启动") + LogLine("2026-12-03 07:59:59", "命令行：/S /CHECK") +
        LogLine("2026-12-03 07:59:59", "安装文件版本：Transfer 2.1，摘要 " + d21 + "（D:\\Deploy\\Setup.exe）") +
        LogLine("2026-12-03 08:00:00", "静默安装结束，退出代码 9") +
        LogLine("2026-12-03 08:00:00", "SetUp启动") + LogLine("2026-12-03 08:00:00", "命令行：/S /ENGINECODES /WAIT=600") +
        LogLine("2026-12-03 08:00:00", "安装文件版本：Transfer 2.1，摘要 " + d21 + "（D:\\Deploy\\Setup.exe）");
    Write(dir / "SetUp.log",
          before + LogLine("2026-12-03 08:00:01", "控制程序正在运行（互斥体 kvt_TORNELIX_7000{0}）") +
              LogLine("2026-12-03 08:10:01", "静默安装：控制程序在600秒后仍在运行，没有做任何更改，现在退出。") +
              LogLine("2026-12-03 08:10:01", "静默安装结束，退出代码 1618"));
    Write(dir / "SetupState.ini", "[Installed]\r\nRelease=Transfer 2.0\r\nDigest=" + d20 +
                                      "\r\nTime=2026-12-01 10:00:00\r\n[LastRun]\r\nTime=2026-12-03 08:10:01\r\n"
                                      "Outcome=try-again-later\r\nExitCode=1618\r\n");
    CarryReport carried;
    carried.configuration = "Mill";
    carried.carried = 9;
    carried.dropped = {{"m_fOldGain", "0.75"}};
    ReportJsonHead head;
    head.kind = "CarryReport";
    Write(dir / "CarryReport-20261201-095930-01.json", ReportJson(head, {carried}, CarryReportLines(carried)));
    head.kind = "CheckReport";
    head.exitCodeKnown = true;
    head.exitCode = 9;
    head.release = "Transfer 2.1";
    head.digest = d21;
    // Written in the second the update after it began: the log's order says
    // which came first.
    Write(dir / "CheckReport-20261203-080000-01.json",
          ReportJson(head, {}, {"配置Lathe：参数无法读取，将不会被保留（D:\\x\\tornelix.dat）", "结论：不能更新"}));

    Controller c = ReadController(dir.Root(), "Mill-07");
    EXPECT_EQ(c.outcome, "try-again-later");
    EXPECT_EQ(c.exitCode, 1618);
    // The control program held it, not another setup.
    EXPECT_EQ(c.reason.kind, "control program");
    EXPECT_NE(c.reason.line.find(u8"控制程序在600秒后仍在运行"), std::string::npos) << c.reason.line;
    EXPECT_EQ(c.runRelease, "Transfer 2.1");
    EXPECT_EQ(c.runDigest, d21);
    // The carry and the check were before this run: they say so, and the
    // older check no longer decides who needs someone.
    EXPECT_FALSE(c.carryIsCurrent);
    EXPECT_FALSE(c.checkIsCurrent);
    EXPECT_EQ(c.checkRelease, "Transfer 2.1");
    EXPECT_EQ(c.checkReason.kind, "configuration");
    EXPECT_EQ(c.attention.code, 1618);
    std::string page = FleetPage({c}, {"collected", "now"});
    size_t needy = page.find("id=\"needy\""), rows = page.find("id=\"fleet\"");
    ASSERT_NE(needy, std::string::npos);
    std::string needySection = page.substr(needy, rows - needy);
    EXPECT_NE(needySection.find("control program"), std::string::npos) << needySection;
    EXPECT_EQ(needySection.find("another"), std::string::npos) << needySection;
    EXPECT_NE(page.substr(rows).find("before the last run"), std::string::npos);

    // The same run going through after the check: the carry it wrote, and
    // named in the log, is current; the check before it still is not.
    head = ReportJsonHead();
    head.kind = "CarryReport";
    Write(dir / "CarryReport-20261203-080500-01.json", ReportJson(head, {carried}, {}));
    Write(dir / "SetUp.log", before +
                                 LogLine("2026-12-03 08:05:00", "报告文件：D:\\Velko\\Boot\\CarryReport-20261203-080500-01.txt") +
                                 LogLine("2026-12-03 08:10:01", "静默安装结束，退出代码 0"));
    Write(dir / "SetupState.ini", "[Installed]\r\nRelease=Transfer 2.1\r\nDigest=" + d21 +
                                      "\r\n[LastRun]\r\nTime=2026-12-03 08:10:01\r\nOutcome=installed\r\nExitCode=0\r\n");
    c = ReadController(dir.Root(), "Mill-07");
    EXPECT_TRUE(c.carryIsCurrent);
    EXPECT_FALSE(c.checkIsCurrent);
    EXPECT_EQ(c.attention.urgency, kNoOneNeeded);
}

TEST(FleetController, ARolledBackControllerIsListedUntilItGoesForwardAgain)
{
    std::string log = LogLine("2026-12-01 09:00:00", "SetUp启动") + LogLine("2026-12-01 09:00:00", "命令行：/S") +
                      LogLine("2026-12-01 09:05:00", "静默安装结束，退出代码 0") +
                      LogLine("2026-12-02 09:00:00", "SetUp启动") + LogLine("2026-12-02 09:00:00", "命令行：/S /ROLLBACK") +
                      LogLine("2026-12-02 09:01:00", "静默安装结束，退出代码 0");
    Controller c;
    c.name = "Lathe-02";
    c.log = ParseSetupLog(log);
    c.state = ParseRunState("[Installed]\r\nRelease=Transfer 1.9\r\n[LastRun]\r\nTime=2026-12-02 09:01:00\r\n"
                            "Outcome=swapped\r\nExitCode=0\r\n");
    Conclude(c);
    EXPECT_TRUE(c.rolledBack);
    EXPECT_EQ(c.attention.word, std::string("swapped"));
    EXPECT_NE(std::string(c.attention.action).find("out of the roll-out"), std::string::npos);
    // A run that changed nothing since leaves it rolled back.
    log += LogLine("2026-12-03 09:00:00", "SetUp启动") + LogLine("2026-12-03 09:00:00", "命令行：/S") +
           LogLine("2026-12-03 09:10:00", "静默安装结束，退出代码 2");
    c.log = ParseSetupLog(log);
    Conclude(c);
    EXPECT_TRUE(c.rolledBack);
    // A second /ROLLBACK swaps back to the update's release.
    log += LogLine("2026-12-04 09:00:00", "SetUp启动") + LogLine("2026-12-04 09:00:00", "命令行：/S /rollback") +
           LogLine("2026-12-04 09:01:00", "静默安装结束，退出代码 0");
    c.log = ParseSetupLog(log);
    Conclude(c);
    EXPECT_FALSE(c.rolledBack);
    EXPECT_EQ(c.attention.urgency, kNoOneNeeded);
}

TEST(FleetPage, AStagedControllerShowsItsStageAndNeedsNoOne)
{
    Controller c;
    c.name = "Mill-07";
    c.log = ParseSetupLog(LogLine("2026-12-05 10:00:00", "SetUp启动") + LogLine("2026-12-05 10:00:00", "命令行：/S /STAGE") +
                          LogLine("2026-12-05 10:02:00", "静默安装结束，退出代码 0"));
    c.state = ParseRunState("[Installed]\r\nRelease=Transfer 1.9\r\nDigest=11\r\n[Staged]\r\nRelease=Transfer 2.0\r\n"
                            "Digest=22\r\nTime=2026-12-05 10:02:00\r\n[LastRun]\r\nTime=2026-12-05 10:02:00\r\n"
                            "Outcome=staged\r\nExitCode=0\r\n");
    Conclude(c);
    EXPECT_EQ(c.attention.urgency, kNoOneNeeded);
    EXPECT_FALSE(c.rolledBack);
    std::string page = FleetPage({c}, {"collected", "now"});
    std::string row = page.substr(page.find("id=\"c-0\""));
    row = row.substr(0, row.find("</tr>"));
    EXPECT_NE(row.find("staged <span title=\"22, 2026-12-05 10:02:00\">Transfer 2.0"), std::string::npos) << row;
    EXPECT_NE(row.find("data-text=\"mill-07 transfer 1.9 11"), std::string::npos) << row;
    EXPECT_NE(row.find(" staged transfer 2.0 22"), std::string::npos) << row;
}

TEST(FleetPage, NeedSomeoneFirstIsOneGroupPerWhatAndWhyInTheGuidesOrder)
{
    // Many controllers, few stories: 300 that the control program held, and
    // one each of the codes the guide orders, given in no order.
    auto controller = [](const std::string& name, long code, const std::string& reasonLine) {
        Controller c;
        c.name = name;
        std::string log = LogLine("2026-12-01 09:00:00", "SetUp启动") + LogLine("2026-12-01 09:00:00", "命令行：/S");
        if (!reasonLine.empty())
            log += LogLine("2026-12-01 09:10:00", reasonLine);
        c.log = ParseSetupLog(log + LogLine("2026-12-01 09:10:00", "静默安装结束，退出代码 " + std::to_string(code)));
        c.state = ParseRunState("[LastRun]\r\nTime=2026-12-01 09:10:00\r\nExitCode=" + std::to_string(code) + "\r\n");
        Conclude(c);
        return c;
    };
    std::vector<Controller> fleet;
    for (long code : {2L, 1L, 3L, 8L, 9L, 4L, 5L})
        fleet.push_back(controller("Code-" + std::to_string(code), code, ""));
    for (int i = 0; i < 300; ++i)
        fleet.push_back(controller("Mill-" + std::to_string(i), 2, "静默安装：控制程序在600秒后仍在运行，没有做任何更改，现在退出。"));
    std::string page = FleetPage(fleet, {"collected", "now"});
    std::string needy = page.substr(page.find("id=\"needy\""), page.find("id=\"fleet\"") - page.find("id=\"needy\""));

    std::vector<std::string> codes, counts;
    for (size_t at = needy.find("<details class=\"group"); at != std::string::npos;
         at = needy.find("<details class=\"group", at + 1)) {
        auto attribute = [&](const std::string& name) {
            size_t from = needy.find(name + "=\"", at) + name.size() + 2;
            return needy.substr(from, needy.find('"', from) - from);
        };
        codes.push_back(attribute("data-code"));
        counts.push_back(attribute("data-count"));
    }
    // The guide's order: 5, 4, 9, 8, 3, 1, 2; the 300 held by the control
    // program are one group, apart from the 2 whose log says nothing more.
    EXPECT_EQ(codes, (std::vector<std::string>{"5", "4", "9", "8", "3", "1", "2", "2"}));
    EXPECT_EQ(counts, (std::vector<std::string>{"1", "1", "1", "1", "1", "1", "300", "1"}));
    // Its action once, its controllers named once each.
    const std::string action = ActionForRun(2).action;
    size_t first = needy.find(HtmlEscaped(action));
    ASSERT_NE(first, std::string::npos);
    size_t second = needy.find(HtmlEscaped(action), first + 1);
    ASSERT_NE(second, std::string::npos); // the lone 2's group
    EXPECT_EQ(needy.find(HtmlEscaped(action), second + 1), std::string::npos);
    EXPECT_NE(needy.find(">Mill-299</a>"), std::string::npos);
    EXPECT_LT(needy.size(), 300u * 60) << "the group repeats more than the names";
}
