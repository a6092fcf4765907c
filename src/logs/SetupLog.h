// The setup log "SetUp.log" in the boot directory: one time-stamped line per
// milestone, appended run after run, emptied once it reaches 204800 bytes.
#pragma once
#include <string>

#include "platform/File.h"

class CSetUpLogMgr {
public:
    static const unsigned long kSizeLimit = 204800;

    // Fixes the path; does not open the file.
    explicit CSetUpLogMgr(std::string path);
    virtual ~CSetUpLogMgr();

    // Opens for writing without truncation, others denied writing.
    bool Open();
    void Write(const std::string& text);
    const std::string& Path() const { return m_path; }

private:
    TextFile m_file;
    std::string m_path;
};

// Where the logs report that they cannot be written (the text of the OK box
// the application shows for it). Unset, the text goes to stderr (the tools).
// A plain function: the setup log's closing at exit may still report.
using LogFailureReporter = void (*)(const std::string& text);
void SetLogFailureReporter(LogFailureReporter reporter);
void ReportLogFailure(const std::string& text);

// The object that WriteLogLine writes to; nullptr turns WriteLogLine off.
void SetSetupLog(CSetUpLogMgr* log);
void WriteLogLine(const std::string& text);

// "%Y-%m-%d %H:%M:%S\t" of the current local time, or empty.
std::string SetupLogTimeStamp();

extern "C" int g_nVerbose;
