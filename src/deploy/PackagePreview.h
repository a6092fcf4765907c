// The new release read before anything is changed: the setup file's package,
// checked as for the update, is run with its target set to a directory of
// its own in %TEMP% ("/D=dir"), so that its formats, amend files and size can
// be looked at. The update itself starts the package with no command line and
// it extracts into InstallRoot; a package that ignored "/D=" would overwrite
// the installation, so only one that carries the header of the archive
// builder that honours "/D=" (scripts/package-release.sh) is started, and the
// release must then be found in the preview's directory. Nothing of the
// installation is touched. Windows only.
#pragma once
#include <string>

struct PackagePreview {
    bool ok = false;
    bool notStarted = false;         // a package of another kind: not run, nothing known of the release
    std::string problem;             // why not, for the report
    std::string runDir;              // removed by RemovePackagePreview
    std::string releaseDir;          // what the package put in place of InstallRoot
    unsigned long long packageSize = 0;
    unsigned long long releaseSize = 0; // the bytes of every file below releaseDir
};

PackagePreview PreviewPackage(const std::string& setupPath);
// The same with the release laid into releaseDir (made by the package; it
// must not exist yet) instead of the preview's own directory: how /STAGE lays
// the new release beside the installation. Only the package's copy lies in
// runDir.
PackagePreview LayPackageInto(const std::string& setupPath, const std::string& releaseDir);
void RemovePackagePreview(const PackagePreview& preview);
