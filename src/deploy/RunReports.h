// Report files beside the setup log (in BootDir): one new pair of files per
// run and kind, named by the local time so that runs never overwrite each
// other, and only the newest kKeptReports of a kind kept, so that a machine
// updated for years does not fill its boot directory. The text is GBK with
// CR LF, like the log; its twin with the same base name and ".json" is UTF-8
// JSON for programs. Windows only.
#pragma once
#include <string>
#include <vector>

const size_t kKeptReports = 20;

struct RunReportPaths {
    std::string text; // empty when it could not be written
    std::string json; // empty when it could not be written (or no JSON was given)
};

// Writes lines to BootDir()\<kind>-YYYYMMDD-HHMMSS-NN.txt (NN counts the
// runs of one second from 01, so that the names sort by time as text) and
// json to the same name with ".json", then deletes the oldest reports of the
// kind beyond kKeptReports, both files of each, names of the older form
// (without NN) included.
RunReportPaths WriteRunReport(const std::string& kind, const std::vector<std::string>& lines,
                              const std::string& json);

