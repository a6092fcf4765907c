#include <gtest/gtest.h>

#include <cstdio>

#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "support/TempTree.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

TEST(TraceLog, TimeStampHasNoPaddingAndEndsWithBlankCrLf)
{
    EXPECT_EQ(TraceTimeStamp(9, 5, 3, 2026, 3, 7), "  9:5:3 2026/3/7 \r\n");
    EXPECT_EQ(TraceTimeStamp(23, 59, 59, 2026, 12, 31), "  23:59:59 2026/12/31 \r\n");
}

TEST(TraceLog, AppendsRecordsInBinaryModeToTheTempDirectory)
{
    std::string path = TraceLogPath();
    EXPECT_EQ(path, TempPath() + "TornelixSetupLog.txt");
    remove(path.c_str());
    AppendTraceLog("|E|first\n");
    TraceMessage("|S|value %d of '%s'\n", 42, "CController");
    std::string text = ReadText(path);
    size_t second = text.find("|S|value 42 of 'CController'\n  ");
    ASSERT_EQ(text.rfind("|E|first\n  ", 0), 0u) << text;
    ASSERT_NE(second, std::string::npos) << text;
    // The text's own "\n" stays a bare LF: the file is binary.
    EXPECT_EQ(text.find("\r\n"), text.find(" \r\n") + 1);
    EXPECT_EQ(text.substr(text.size() - 3), " \r\n");
    remove(path.c_str());
}

namespace {
std::string g_reported;
int g_reports = 0;
} // namespace

TEST(TraceLog, AFailureToOpenIsShownAndTheCallerGoesOn)
{
    std::string path = TraceLogPath();
    remove(path.c_str());
#ifdef _WIN32
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
#else
    ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
#endif
    SetLogFailureReporter([](const std::string& text) {
        g_reported = text;
        ++g_reports;
    });
    AppendTraceLog("lost record\n");
    AppendTraceLog("another lost record\n");
    SetLogFailureReporter(nullptr);
    const std::string& shown = g_reported;
    const int boxes = g_reports;
#ifdef _WIN32
    RemoveDirectoryA(path.c_str());
#else
    rmdir(path.c_str());
#endif
    EXPECT_EQ(boxes, 1) << "one box per run, whatever number of records fail";
    EXPECT_EQ(shown.rfind("Open log file failed! Cause:", 0), 0u) << shown;
    EXPECT_NE(shown.find("File: " + path), std::string::npos) << shown;
}
