#include "logs/ReportNames.h"

std::string RunReportSortKey(const std::string& fileName)
{
    std::string stem = fileName.substr(0, fileName.find_last_of('.'));
    size_t dash = stem.find_last_of('-');
    if (dash == std::string::npos)
        return stem;
    std::string tail = stem.substr(dash + 1);
    // An older first report of its second ends with the time of day.
    if (tail.size() == 6 && dash >= 9 && stem[dash - 9] == '-')
        return stem + "-01";
    if (tail.empty() || tail.size() > 2 || tail.find_first_not_of("0123456789") != std::string::npos)
        return stem;
    return stem.substr(0, dash + 1) + (tail.size() == 1 ? "0" + tail : tail);
}
