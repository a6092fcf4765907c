// The setup log "SetUp.log" in the boot directory: one time-stamped line per
// milestone, appended run after run, emptied once it reaches 204800 bytes.
// A line that cannot go there (another setup holds the file, the data drive is
// full, the boot directory or the file is a link, which is never written
// through) goes to the fallback log instead, and to the echo.
#pragma once
#include <string>

#include "platform/File.h"

class CSetUpLogMgr {
public:
    static const unsigned long kSizeLimit = 204800;

    // Fixes the paths; does not open a file. Without a fallback a line that
    // cannot be written to path is lost.
    explicit CSetUpLogMgr(std::string path, std::string fallbackPath = std::string());
    virtual ~CSetUpLogMgr();

    // Opens for writing without truncation, others denied writing.
    bool Open();
    // Closes the file (a later Write opens it again), so that the next setup
    // finds it free.
    void Close();
    // Where the line went: the setup log, else the fallback log (also when
    // that could not be written either).
    enum class Written { setupLog, fallback };
    Written Write(const std::string& text);
    const std::string& Path() const { return m_path; }
    const std::string& FallbackPath() const { return m_fallbackPath; }

private:
    bool WriteTo(TextFile& file, const std::string& path, bool shared, const std::string& line);
    void WriteFallback(const std::string& text);
    void NoteRefusal(const TextFile& file, const FileError& error);

    TextFile m_file;
    std::string m_path;
    TextFile m_fallback;
    std::string m_fallbackPath;
    bool m_fallbackUsed = false; // this run wrote lines to the fallback log
    std::string m_refusedLink;   // the link that the setup log was last refused for
    std::string m_toldLink;      // the link the fallback log last named
};

// Where the logs report that they cannot be written (the text of the OK box
// the application shows for it). Unset, the text goes to stderr (the tools).
// A plain function: the setup log's closing at exit may still report.
using LogFailureReporter = void (*)(const std::string& text);
void SetLogFailureReporter(LogFailureReporter reporter);
void ReportLogFailure(const std::string& text);

// The object that WriteLogLine writes to; nullptr turns WriteLogLine off.
void SetSetupLog(CSetUpLogMgr* log);
// Where the lines that miss SetUp.log are echoed (without time stamp): the
// application gives the output of whoever started the setup. Unset, nowhere.
using LogEcho = void (*)(const std::string& text);
void SetLogEcho(LogEcho echo);
// A file that takes a copy of every line from now on, time-stamped as in
// SetUp.log (a deployment engine's own log of the run); one that cannot be
// written is named once to the echo and then left alone.
void SetLogCopy(const std::string& path);
// True when the line went to SetUp.log; otherwise it went to the fallback log
// and the echo.
bool WriteLogLine(const std::string& text);

// "%Y-%m-%d %H:%M:%S\t" of the current local time, or empty.
std::string SetupLogTimeStamp();

extern "C" int g_nVerbose;
