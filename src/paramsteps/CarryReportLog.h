// The carry reports of a run written down: every line to the setup log and
// the whole report to a report file of its own beside it, with its JSON twin.
#pragma once
#include <string>
#include <vector>

#include "deploy/RunReports.h"
#include "params/CarryReport.h"
#include "params/ReportJson.h"

// Writes preface, then each report's lines, to the setup log and to a new
// report file of the kind (RunReports), with the JSON of the carry (no exit
// code: the run has not ended) and the configurations whose values could not
// be read (name, data file); the text file's path, or empty when there was
// nothing to write or it could not be written (the setup log says so).
std::string WriteCarryReports(const std::vector<CarryReport>& reports, const std::string& kind,
                              const std::vector<std::pair<std::string, std::string>>& unreadable = {},
                              const std::vector<std::string>& preface = {});

// Writes lines as they are (the carry reports' lines among them) to the setup
// log and a new report file of head.kind, and the JSON of head (completed
// with the release, the time and the computer), reports and lines beside it;
// both files' paths, empty as above.
RunReportPaths WriteReport(const std::vector<std::string>& lines, const std::vector<CarryReport>& reports,
                        const ReportJsonHead& head);
