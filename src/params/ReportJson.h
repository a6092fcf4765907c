// The JSON twin of a report file (the carry report of an update, the /CHECK
// report): what the run says of itself, each configuration's carry report,
// and the text's lines, all as UTF-8 for programs that read it. Portable.
#pragma once
#include <string>
#include <vector>

#include "params/CarryReport.h"

const int kReportJsonVersion = 1;

// What the run says of itself. Texts are GBK, as in the program.
struct ReportJsonHead {
    std::string kind;           // "CarryReport", "CheckReport"
    std::string setupFile;      // the running setup file's path
    bool exitCodeKnown = false; // a carry report is written before the run ends
    int exitCode = 0;
    std::string outcome;        // a word: the check's verdict, or what the carry did
    std::string verdict;        // the verdict line, or empty
};

// The document: "report", "version", "setupFile", "exitCode" (null when not
// known, with "exitCodeIn" naming where the run's code is found), "outcome",
// "verdict" (null when empty), "configurations" (per configuration "name",
// "carried", "dropped" [{"name","value"}], "new" [{"name","default"}]) and
// "lines".
std::string ReportJson(const ReportJsonHead& head, const std::vector<CarryReport>& reports,
                       const std::vector<std::string>& lines);

// The outcome word of an update's carry: "all-carried" when no configuration
// dropped a value, "values-dropped" otherwise.
const char* CarryOutcomeWord(const std::vector<CarryReport>& reports);
