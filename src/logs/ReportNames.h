// The names of the report files beside the setup log, shared by the setup
// that writes them and the tools that read them: "<kind>-YYYYMMDD-HHMMSS-NN"
// with ".txt" (GBK) and ".json" (UTF-8), NN counting the runs of one second
// from 01. Earlier releases wrote "<kind>-YYYYMMDD-HHMMSS[-n].txt", whose
// names do not sort by time as text. Portable.
#pragma once
#include <string>

// The key by which a report's file name sorts in time, for the older names
// and the current ones alike: the name without its extension, the run's
// number as two digits ("-01" for a plain older name).
std::string RunReportSortKey(const std::string& fileName);
