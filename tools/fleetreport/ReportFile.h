// The newest report of a kind in a controller's folder ("CarryReport",
// "CheckReport"): its JSON twin where there is one, the GBK text where not
// (reports of earlier releases). Newest by RunReportSortKey, so that the
// older names and the current ones compare by time.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "FileReading.h"

struct ConfigurationCarry {
    std::string name;
    long carried = 0;
    std::vector<std::pair<std::string, std::string>> dropped; // name, the machine's value
    std::vector<std::pair<std::string, std::string>> added;   // name, the release's default
};

struct ReportFacts {
    FileReading reading; // missing when the folder has no report of the kind
    std::string time;    // "YYYY-MM-DD HH:MM:SS", from the file's name
    bool fromJson = false;
    bool exitCodeKnown = false;
    long exitCode = 0;
    std::string outcome; // the report's outcome word, when it says one
    std::string verdict; // UTF-8, the verdict line, when it has one
    std::vector<ConfigurationCarry> configurations;
    // What the report says of its run (reports of earlier releases: empty).
    std::string release, digest; // the setup file's release
    std::string writtenAt;       // ISO 8601 with the offset from UTC
    std::string computer;
    std::vector<std::pair<std::string, std::string>> unreadable; // configuration, data file
    std::vector<std::string> lines; // UTF-8, the text's lines

    size_t Dropped() const;
    size_t Added() const;
    long Carried() const;
};

ReportFacts ParseReportJson(const std::string& text, const std::string& name);
ReportFacts ParseReportText(const std::string& gbk, const std::string& name);
ReportFacts ReadNewestReport(const std::string& dir, const std::string& kind);
