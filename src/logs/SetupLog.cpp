#include "logs/SetupLog.h"

#include <ctime>

#include "platform/LocalTime.h"
#include "platform/StringUtil.h"
#include "platform/TerminalText.h"

extern "C" {
TLX_EXPORT int g_nVerbose = 0;
}

namespace {
CSetUpLogMgr* g_log = nullptr;
LogFailureReporter g_reporter = nullptr;
} // namespace

void SetLogFailureReporter(LogFailureReporter reporter) { g_reporter = reporter; }

void ReportLogFailure(const std::string& text)
{
    if (g_reporter)
        g_reporter(text);
    else
        WriteTerminalText(stderr, text + "\n");
}

CSetUpLogMgr::CSetUpLogMgr(std::string path) : m_path(std::move(path)) {}

CSetUpLogMgr::~CSetUpLogMgr()
{
    if (g_log == this)
        g_log = nullptr;
    try {
        m_file.Close();
    } catch (const FileError& e) {
        ReportLogFailure(e.what());
    }
}

bool CSetUpLogMgr::Open()
{
    return m_file.Open(m_path, BinaryFile::modeCreate | BinaryFile::modeNoTruncate | BinaryFile::modeWrite |
                                   BinaryFile::shareDenyWrite);
}

void CSetUpLogMgr::Write(const std::string& text)
{
    // A log that could not be opened before (another program held it) is
    // appended to now: its history is emptied only at the size limit.
    if (!m_file.IsOpen() && !Open())
        return;
    bool full = false;
    try {
        m_file.Flush();
        full = m_file.GetLength() >= kSizeLimit;
    } catch (const FileError&) {
    }
    if (full) {
        m_file.Abort();
        if (!m_file.Open(m_path, BinaryFile::modeCreate | BinaryFile::modeWrite | BinaryFile::shareDenyWrite))
            return;
    }
    try {
        m_file.SeekToEnd();
        m_file.WriteString(SetupLogTimeStamp() + text + "\n");
        m_file.Flush();
    } catch (const FileError& e) {
        ReportLogFailure(e.what());
    }
}

std::string SetupLogTimeStamp()
{
    time_t now = time(nullptr);
    struct tm local = {};
    if (!LocalTimeOf(now, &local))
        return std::string();
    char buf[128];
    size_t n = strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S\t", &local);
    return std::string(buf, n);
}

void SetSetupLog(CSetUpLogMgr* log) { g_log = log; }

void WriteLogLine(const std::string& text)
{
    if (g_log)
        g_log->Write(text);
}
