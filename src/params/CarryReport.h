// What the amend merge does to one configuration's values, said before or
// after it runs: how many of the machine's values reach the new release, which
// ones the new format has no member for (with the machine's value), and which
// members of the new release the machine had no value for (with the default
// they keep). Computed from the same three inputs as the merge, so the setup
// and paramtool tell the same story. Portable.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "params/AmendMerge.h"

struct CarryReport {
    std::string configuration;
    size_t carried = 0;
    AmendEntries dropped; // the machine's values the new format has no member for
    AmendEntries added;   // the new release's entries the machine had no value for
};

// saved: the machine's saved amend text; target: the new release's amend.dat;
// declared: the "CController" members of the new format (CFmtNameParser).
// Excluded members are never carried and are not counted as dropped.
CarryReport BuildCarryReport(const std::string& configuration, std::string_view saved, std::string_view target,
                             const std::vector<std::string>& declared);
// The same from files. False when the format cannot be read or declares no
// "CController" block (the merge then carries nothing and changes nothing).
// A missing saved or target file reads as empty, as in the merge.
bool ReadCarryReport(const std::string& configuration, const std::string& savedPath, const std::string& targetPath,
                     const std::string& formatPath, CarryReport& report);

// One line: the configuration and its three counts.
std::string CarryReportCounts(const CarryReport& report);
// The counts line, then one line per dropped value and per new member.
std::vector<std::string> CarryReportLines(const CarryReport& report);
