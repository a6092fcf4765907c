#include "logs/TraceLog.h"

#include <cstdarg>
#include <ctime>

#include "locations/TempLocations.h"
#include "logs/SetupLog.h"
#include "platform/File.h"
#include "platform/LocalTime.h"
#include "platform/TerminalText.h"

namespace {
FILE* g_echo = nullptr;
bool g_fileEnabled = true;
// One report per run: a trace log that cannot be opened would otherwise ask for
// a click at every record.
bool g_failureShown = false;
} // namespace

void SetTraceEcho(FILE* stream) { g_echo = stream; }
void SetTraceFileEnabled(bool enabled) { g_fileEnabled = enabled; }

std::string TraceLogPath() { return TempPath() + "TornelixSetupLog.txt"; }

std::string TraceTimeStamp(int hour, int minute, int second, int year, int month, int day)
{
    return StrPrintf("  %u:%u:%u %u/%u/%u \r\n", static_cast<unsigned>(hour), static_cast<unsigned>(minute),
                     static_cast<unsigned>(second), static_cast<unsigned>(year), static_cast<unsigned>(month),
                     static_cast<unsigned>(day));
}

void AppendTraceLog(const std::string& text)
{
    time_t now = time(nullptr);
    struct tm local = {};
    LocalTimeOf(now, &local);
    std::string record = text + TraceTimeStamp(local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900,
                                               local.tm_mon + 1, local.tm_mday);
    if (g_echo) {
        WriteTerminalText(g_echo, record);
        fflush(g_echo);
    }
    if (!g_fileEnabled)
        return;

    std::string path = TraceLogPath();
    BinaryFile file;
    try {
        unsigned flags = FileExists(path) ? BinaryFile::modeReadWrite
                                          : (BinaryFile::modeCreate | BinaryFile::modeReadWrite);
        FileError openError(FileError::none, 0, path);
        if (!file.Open(path, flags, &openError))
            throw openError;
        file.SeekToEnd();
        file.Write(record.data(), record.size());
        file.Close();
    } catch (const FileError& e) {
        file.Abort();
        if (g_failureShown)
            return;
        g_failureShown = true;
        ReportLogFailure(StrPrintf("Open log file failed! Cause:%d，Error:%d \n File: %s", e.m_cause,
                                   static_cast<int>(e.m_osError), e.m_fileName.c_str()));
    }
}

void TraceMessage(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = StrPrintfV(format, args);
    va_end(args);
    AppendTraceLog(text);
}
