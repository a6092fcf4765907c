// The JSON twin of a report file (the carry report of an update, the /CHECK
// report): what the run says of itself, each configuration's carry report,
// and the text's lines, all as UTF-8 for programs that read it. Portable.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "params/CarryReport.h"

const int kReportJsonVersion = 1;

// What the run says of itself. Texts are GBK, as in the program.
struct ReportJsonHead {
    std::string kind;           // "CarryReport", "CheckReport"
    std::string release;        // the setup file's release name (its file name when it records none)
    std::string digest;         // the digest its trailer records; empty when it cannot be read
    std::string time;           // when the report was written, ISO 8601 with the offset from UTC
    std::string computer;       // the controller's computer name
    std::string setupFile;      // the running setup file's path
    bool exitCodeKnown = false; // a carry report is written before the run ends
    int exitCode = 0;
    std::string outcome;        // a word: the check's verdict, or what the carry did
    std::string verdict;        // the verdict line, or empty
    // Configurations whose values cannot be read: name, data file.
    std::vector<std::pair<std::string, std::string>> unreadable;
};

// The document: "report", "version", "release", "digest" (null when empty),
// "time", "computer", "setupFile", "exitCode" (null when not known, with
// "exitCodeIn" naming where the run's code is found), "outcome", "verdict"
// (null when empty), "configurations" (per configuration "name", "carried",
// "dropped" [{"name","value"}], "new" [{"name","default"}]), "unreadable"
// [{"name","dataFile"}] and "lines".
std::string ReportJson(const ReportJsonHead& head, const std::vector<CarryReport>& reports,
                       const std::vector<std::string>& lines);

// The outcome word of an update's carry: "all-carried" when no configuration
// dropped a value, "values-dropped" otherwise.
const char* CarryOutcomeWord(const std::vector<CarryReport>& reports);
