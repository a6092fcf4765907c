// The parameter step of an update tried without doing it: each installed
// configuration's values read and listed as state 2 would save them, and the
// carry report against a new release laid out elsewhere (PackagePreview).
// Nothing is repaired or written outside workDir. Windows only.
#pragma once
#include <string>
#include <vector>

#include "deploy/FileTree.h"
#include "params/CarryReport.h"

struct ConfigurationPreview {
    std::string name;
    std::string dataFile; // or the amend.dat that holds the values
    bool readable = false; // its values could be read and listed
    bool reported = false; // the new release has the configuration and a readable format
    CarryReport report;
};

// newProductDir: the new release's product directory.
std::vector<ConfigurationPreview> PreviewConfigurations(const PathList& dataFiles, const std::string& workDir,
                                                        const std::string& newProductDir);
