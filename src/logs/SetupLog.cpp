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
LogEcho g_echo = nullptr;
} // namespace

void SetLogFailureReporter(LogFailureReporter reporter) { g_reporter = reporter; }

void ReportLogFailure(const std::string& text)
{
    if (g_reporter)
        g_reporter(text);
    else
        WriteTerminalText(stderr, text + "\n");
}

CSetUpLogMgr::CSetUpLogMgr(std::string path, std::string fallbackPath)
    : m_path(std::move(path)), m_fallbackPath(std::move(fallbackPath))
{
}

CSetUpLogMgr::~CSetUpLogMgr()
{
    if (g_log == this)
        g_log = nullptr;
    try {
        m_file.Close();
        m_fallback.Close();
    } catch (const FileError& e) {
        ReportLogFailure(e.what());
    }
}

bool CSetUpLogMgr::Open()
{
    FileError error(FileError::none, 0, m_path);
    if (m_file.Open(m_path, BinaryFile::modeCreate | BinaryFile::modeNoTruncate | BinaryFile::modeWrite |
                                BinaryFile::shareDenyWrite | BinaryFile::modeNoLinks,
                    &error))
        return true;
    NoteRefusal(m_file, error);
    return false;
}

void CSetUpLogMgr::Close()
{
    try {
        m_file.Close();
        m_fallback.Close();
    } catch (const FileError& e) {
        ReportLogFailure(e.what());
    }
}

// The setup log lies in the boot directory, which every operator can
// write: a link there (the directory, or the file) is refused, never
// written through, and the refusal is kept to be named in the fallback log.
void CSetUpLogMgr::NoteRefusal(const TextFile& file, const FileError& error)
{
    if (&file == &m_file && error.m_cause == FileError::linkRefused)
        m_refusedLink = error.m_fileName;
}

// Appends one stamped line; false when the file could not be opened or
// written (a write error is reported). shared: other setups may append too.
bool CSetUpLogMgr::WriteTo(TextFile& file, const std::string& path, bool shared, const std::string& line)
{
    // The fallback log lies in the temporary directory of whoever runs the
    // setup; the setup log in the boot directory (no links there).
    const unsigned mode = (shared ? BinaryFile::shareDenyNone : BinaryFile::shareDenyWrite) |
                           (&file == &m_file ? BinaryFile::modeNoLinks : 0u);
    FileError error(FileError::none, 0, path);
    // A log that could not be opened before (another program held it) is
    // appended to now: its history is emptied only at the size limit.
    if (!file.IsOpen() &&
        !file.Open(path, BinaryFile::modeCreate | BinaryFile::modeNoTruncate | BinaryFile::modeWrite | mode, &error)) {
        NoteRefusal(file, error);
        return false;
    }
    bool full = false;
    try {
        file.Flush();
        full = file.GetLength() >= kSizeLimit;
    } catch (const FileError&) {
    }
    if (full) {
        file.Abort();
        if (!file.Open(path, BinaryFile::modeCreate | BinaryFile::modeWrite | mode, &error)) {
            NoteRefusal(file, error);
            return false;
        }
    }
    try {
        file.SeekToEnd();
        file.WriteString(SetupLogTimeStamp() + line + "\n");
        file.Flush();
        return true;
    } catch (const FileError& e) {
        // A full drive: the next line tries again from a fresh handle.
        file.Abort();
        ReportLogFailure(e.what());
        return false;
    }
}

void CSetUpLogMgr::WriteFallback(const std::string& text)
{
    if (m_fallbackPath.empty())
        return;
    if (!m_fallbackUsed) {
        m_fallbackUsed = true;
        WriteTo(m_fallback, m_fallbackPath, true, "无法写入" + m_path + "，本次运行的记录写在这里");
    }
    if (!m_refusedLink.empty() && m_refusedLink != m_toldLink) {
        m_toldLink = m_refusedLink;
        WriteTo(m_fallback, m_fallbackPath, true, "拒绝通过链接写入：" + m_refusedLink);
    }
    WriteTo(m_fallback, m_fallbackPath, true, text);
}

CSetUpLogMgr::Written CSetUpLogMgr::Write(const std::string& text)
{
    // The setup log itself again once it can be written: it says where the
    // lines it lacks are.
    bool pointed = !m_fallbackUsed || m_file.IsOpen();
    if (WriteTo(m_file, m_path, false, pointed ? text : "本次运行前面的记录写在" + m_fallbackPath)) {
        if (pointed || WriteTo(m_file, m_path, false, text))
            return Written::setupLog;
    }
    WriteFallback(text);
    return Written::fallback;
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

void SetLogEcho(LogEcho echo) { g_echo = echo; }

namespace {
std::string g_copyPath;
bool g_copyFailed = false;

void WriteCopy(const std::string& text)
{
    if (g_copyPath.empty() || g_copyFailed)
        return;
    TextFile copy;
    if (copy.Open(g_copyPath, BinaryFile::modeCreate | BinaryFile::modeNoTruncate | BinaryFile::modeWrite |
                                  BinaryFile::shareDenyWrite)) {
        try {
            copy.SeekToEnd();
            copy.WriteString(SetupLogTimeStamp() + text + "\n");
            copy.Close();
            return;
        } catch (const FileError&) {
            copy.Abort();
        }
    }
    g_copyFailed = true;
    if (g_echo)
        g_echo("无法写入 /LOG 指定的文件：" + g_copyPath);
}
} // namespace

void SetLogCopy(const std::string& path)
{
    g_copyPath = path;
    g_copyFailed = false;
}

bool WriteLogLine(const std::string& text)
{
    WriteCopy(text);
    if (g_log && g_log->Write(text) == CSetUpLogMgr::Written::setupLog)
        return true;
    if (g_echo)
        g_echo(text);
    return false;
}
