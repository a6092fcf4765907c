// The carry reports of a run written down: every line to the setup log and
// the whole report to a report file of its own beside it.
#pragma once
#include <string>
#include <vector>

#include "params/CarryReport.h"

// Writes preface, then each report's lines, to the setup log and to a new
// report file of the kind (RunReports); the file's path, or empty when there
// was nothing to write or it could not be written (the setup log says so).
std::string WriteCarryReports(const std::vector<CarryReport>& reports, const std::string& kind,
                              const std::vector<std::string>& preface = {});
