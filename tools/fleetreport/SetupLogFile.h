// SetUp.log as collected (GBK, one time-stamped line per milestone, run
// after run): how its last run began and whether it ended, and the last
// closing line "静默安装结束，退出代码 N" of the whole log.
#pragma once
#include <string>

#include "FileReading.h"

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
    // The last closing line of the log, whichever run wrote it.
    bool anyClosing = false;
    long lastClosingCode = 0;
    std::string lastClosingTime;
};

SetupLogFacts ParseSetupLog(const std::string& gbk, const std::string& name = "SetUp.log");
SetupLogFacts ReadSetupLog(const std::string& path);
