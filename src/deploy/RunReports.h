// Report files beside the setup log (in BootDir): one new file per run and
// kind, named by the local time so that runs never overwrite each other, and
// only the newest kKeptReports of a kind kept, so that a machine updated for
// years does not fill its boot directory. GBK text with CR LF, like the log.
// Windows only.
#pragma once
#include <string>
#include <vector>

const size_t kKeptReports = 20;

// Writes lines to BootDir()\<kind>-YYYYMMDD-HHMMSS.txt ("-2", "-3" ... when
// that name is taken), then deletes the oldest files of the kind beyond
// kKeptReports. The file's path, or empty when it could not be written.
std::string WriteRunReport(const std::string& kind, const std::vector<std::string>& lines);
