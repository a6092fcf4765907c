#include <gtest/gtest.h>

#include <regex>
#include <windows.h>

#include "logs/SetupLog.h"
#include "support/TempTree.h"

namespace {
const char* kRoot = "C:\\tlx_setup_log";

std::vector<std::string> SplitCrLf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(text.substr(start, pos - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

const std::regex kStamped("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\t.*");
} // namespace

TEST(SetupLog, WritesTimeStampedCrLfLinesAndContinuesLineBreaksUnstamped)
{
    TempTree tree(kRoot);
    std::string path = tree / "SetUp.log";
    {
        CSetUpLogMgr log(path);
        ASSERT_TRUE(log.Open());
        SetSetupLog(&log);
        WriteLogLine("SetUp启动");
        WriteLogLine("启动FirstRun失败!\nFail to Run FirstRun!");
        SetSetupLog(nullptr);
        WriteLogLine("not written: no log object");
    }
    std::vector<std::string> lines = SplitCrLf(ReadText(path));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[0], kStamped)) << lines[0];
    EXPECT_EQ(lines[0].substr(20), "SetUp启动");
    EXPECT_TRUE(std::regex_match(lines[1], kStamped));
    EXPECT_EQ(lines[1].substr(20), "启动FirstRun失败!");
    EXPECT_EQ(lines[2], "Fail to Run FirstRun!");
    EXPECT_EQ(ReadText(path).back(), '\n');
}

TEST(SetupLog, TwoRunsAppendToTheSameFile)
{
    TempTree tree(kRoot);
    std::string path = tree / "SetUp.log";
    for (int run = 0; run < 2; ++run) {
        CSetUpLogMgr log(path);
        log.Open();
        log.Write("SetUp启动");
    }
    std::vector<std::string> lines = SplitCrLf(ReadText(path));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(20), "SetUp启动");
}

TEST(SetupLog, IsEmptiedAtItsSizeLimitAndAppendedBelowIt)
{
    TempTree tree(kRoot);
    for (unsigned long size : {CSetUpLogMgr::kSizeLimit, CSetUpLogMgr::kSizeLimit - 1}) {
        std::string path = tree / ("limit" + std::to_string(size) + ".log");
        WriteText(path, std::string(size, 'z'));
        {
            CSetUpLogMgr log(path);
            ASSERT_TRUE(log.Open());
            log.Write("record");
        }
        std::string text = ReadText(path);
        if (size == CSetUpLogMgr::kSizeLimit) {
            EXPECT_EQ(text.find('z'), std::string::npos) << "a full log is emptied first";
            EXPECT_EQ(SplitCrLf(text).size(), 1u);
        } else {
            EXPECT_EQ(text.substr(0, size), std::string(size, 'z'));
            EXPECT_EQ(text.substr(size + 19), "\trecord\r\n");
        }
    }
}

TEST(SetupLog, DeniesOtherWritersWhileOpenAndSkipsRecordsItCannotOpen)
{
    TempTree tree(kRoot);
    std::string path = tree / "SetUp.log";
    {
        CSetUpLogMgr log(path);
        ASSERT_TRUE(log.Open());
        HANDLE other = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(other, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
    }
    // Another process holds the log for writing: the open fails quietly and
    // each record is skipped without a message.
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    {
        CSetUpLogMgr log(path);
        EXPECT_FALSE(log.Open());
        log.Write("skipped");
    }
    CloseHandle(holder);
    EXPECT_EQ(ReadText(path), "");

    // Held while the setup starts, free later: the history stays.
    WriteText(path, "history\r\n");
    holder = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    {
        CSetUpLogMgr log(path);
        EXPECT_FALSE(log.Open());
        CloseHandle(holder);
        log.Write("later");
    }
    std::string text = ReadText(path);
    EXPECT_EQ(text.rfind("history\r\n", 0), 0u) << "a log opened late must not be truncated";
    EXPECT_NE(text.find("\tlater\r\n"), std::string::npos);
}

namespace {
std::vector<std::string> g_echoed;
void Echo(const std::string& text) { g_echoed.push_back(text); }
} // namespace

// Another setup holds SetUp.log: the lines go to the fallback log (which says
// why) and to the echo; once the log is free again it says where the missing
// lines are, and the fallback stays as it was.
TEST(SetupLog, LinesThatMissTheHeldLogGoToTheFallbackAndTheEchoAndTheLogPointsToThem)
{
    TempTree tree(kRoot);
    std::string path = tree / "SetUp.log";
    std::string fallback = tree / "TornelixSetUp.log";
    WriteText(path, "history\r\n");
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    g_echoed.clear();
    {
        CSetUpLogMgr log(path, fallback);
        SetSetupLog(&log);
        SetLogEcho(Echo);
        EXPECT_FALSE(log.Open());
        EXPECT_FALSE(WriteLogLine("SetUp启动"));
        EXPECT_FALSE(WriteLogLine("waiting"));
        CloseHandle(holder);
        EXPECT_TRUE(WriteLogLine("after"));
        EXPECT_TRUE(WriteLogLine("closing"));
        SetLogEcho(nullptr);
        SetSetupLog(nullptr);
    }
    EXPECT_EQ(g_echoed, (std::vector<std::string>{"SetUp启动", "waiting"}));
    std::vector<std::string> lines = SplitCrLf(ReadText(fallback));
    ASSERT_EQ(lines.size(), 3u) << ReadText(fallback);
    EXPECT_EQ(lines[0].substr(20), "无法写入" + path + "，本次运行的记录写在这里");
    EXPECT_EQ(lines[1].substr(20), "SetUp启动");
    EXPECT_EQ(lines[2].substr(20), "waiting");
    lines = SplitCrLf(ReadText(path));
    ASSERT_EQ(lines.size(), 4u) << ReadText(path);
    EXPECT_EQ(lines[0], "history");
    EXPECT_EQ(lines[1].substr(20), "本次运行前面的记录写在" + fallback);
    EXPECT_EQ(lines[2].substr(20), "after");
    EXPECT_EQ(lines[3].substr(20), "closing");
}
