// SetUp.log as collected (GBK, one time-stamped line per milestone, run
// after run): how its last run began and whether it ended, the last update
// (or /ROLLBACK) and the last /CHECK with the release each was for and the
// line that decided how it ended, and the last closing line
// "静默安装结束，退出代码 N" of the whole log.
#pragma once
#include <string>
#include <vector>

#include "FileReading.h"

// What decided a run's or a check's end, as the page names it.
struct Reason {
    std::string kind; // "control program", "another setup", "drive", "file", "configuration", ...; empty: none found
    std::string line; // UTF-8, the line that says it
};

// One run of the setup in the log, from its "SetUp启动" line to the next.
struct LogRun {
    bool found = false;
    size_t order = 0;        // its place among the log's runs, from 1
    std::string startTime;   // "YYYY-MM-DD HH:MM:SS"
    std::string commandLine; // UTF-8; empty for a run started without arguments
    bool silent = false, check = false, rollback = false;
    bool closed = false; // its closing line is there
    long closingCode = 0;
    std::string release, digest; // UTF-8, from "安装文件版本："; empty in the logs of earlier releases
    Reason reason;      // for a run that did not close: "last line", where it stopped
    std::vector<std::string> reports; // the report files it wrote ("报告文件："), names without folder
};

struct SetupLogFacts {
    FileReading reading;
    // The last run: from its "SetUp启动" line to the end of the log.
    bool runFound = false;
    std::string startTime;   // "YYYY-MM-DD HH:MM:SS"
    std::string commandLine; // UTF-8; empty for a run started without arguments
    bool silent = false, check = false, rollback = false;
    bool closed = false; // its closing line is there
    long closingCode = 0;
    bool undidCutRun = false; // it found an unfinished earlier run and undid it
    bool namesReports = false; // some run named its report files: a run that names none wrote none
    LogRun lastUpdate; // the last run that was not a /CHECK
    LogRun lastCheck;  // the last /CHECK
    // The installed release is the kept one a /ROLLBACK brought back (an odd
    // number of swaps since the last update).
    bool rolledBack = false;
    // The last closing line of the log, whichever run wrote it.
    bool anyClosing = false;
    long lastClosingCode = 0;
    std::string lastClosingTime;
};

SetupLogFacts ParseSetupLog(const std::string& gbk, const std::string& name = "SetUp.log");
SetupLogFacts ReadSetupLog(const std::string& path);

// What decided a /CHECK, from its report's lines (UTF-8).
Reason ReasonOfCheckLines(const std::vector<std::string>& lines);
