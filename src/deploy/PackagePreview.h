// The new release read before anything is changed: the setup file's package,
// checked as for the update, is run with its target set to a directory of
// its own in %TEMP% (the package is a self-extracting archive that takes
// "/D=dir" as the place to put the release), so that its formats, amend files
// and size can be looked at. Nothing of the installation is touched. Windows
// only.
#pragma once
#include <string>

struct PackagePreview {
    bool ok = false;
    std::string problem;             // why not, for the report
    std::string runDir;              // removed by RemovePackagePreview
    std::string releaseDir;          // what the package put in place of InstallRoot
    unsigned long long packageSize = 0;
    unsigned long long releaseSize = 0; // the bytes of every file below releaseDir
};

PackagePreview PreviewPackage(const std::string& setupPath);
void RemovePackagePreview(const PackagePreview& preview);
