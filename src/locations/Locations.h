// Every installation path is derived here and nowhere else. Each location is
// returned as a copy; the two roots and the temporary paths are computed once.
#pragma once
#include <string>
#include <vector>

#include "locations/ProductTreeCheck.h"
#include "locations/TempLocations.h"

// Computed once per process.
std::string InstallRoot();
std::string DataRoot();

// Computed afresh on every call (they follow setup.cfg, which state 5 deletes).
// Directories end with a backslash, as the roots do.
std::string ProductDirName();
std::string ProductDir();
std::string DataProductDir();
std::string BootDir();
std::string BootIni();
// The setup log, in the boot directory.
std::string SetupLogPath();
// The records an elevated run acts on (the set-aside journal, the kept
// release, the swap, the run state it trusts), in a directory that only
// administrators may write: "<InstallRoot>.records" on the program drive, or
// "<DataRoot>.records" on a write-filter system.
std::string RecordsDir();
std::string JournalFilePath();
std::string KeptRecordFilePath();
std::string SwapRecordFilePath();
std::string LaidRecordFilePath();
std::string TrustedRunStatePath();
// The release laid beside the installation by /STAGE while the control
// program runs: "<InstallRoot>.staged\<tag>", on the program tree's volume
// so that the switch is renames, and made administrators-only like the
// records' directory. Its record (SetUp.staged) lives in RecordsDir.
std::string StagingRoot();
std::string StageRecordFilePath();
// Where an earlier setup kept those records, in the boot directory that
// every operator can write: what is found there is reported, never acted on.
std::vector<std::string> FormerRecordPaths();
// The run state that deployment engines and administrators read, beside the
// setup log: a report of the trusted one.
std::string RunStateFilePath();
std::string UserIni();
std::string PackupIni();
std::string FirstRunPath();
// The format file of a configuration directory, or the product's own when
// the configuration has none.
std::string ConfigFormatFile(const std::string& configDir);
// The product's own language file, where the active language is written.
std::string LangIni();
std::string ActiveLangName();
std::string LangDir();
// The wizards' directory that an update replaces with the release's.
std::string WizardsDir();
// On a write-filter system, the data tree the filter keeps on C:.
std::string WriteFilterDataTree();

// Where a run sets the previous release aside on path's drive: beside the
// installation or data root on that drive ("C:\Program Files\Velko.previous"),
// else "<drive>:\TorneLix.previous" (C: for a path without a drive).
std::string PreviousReleaseRootFor(const std::string& path);

// The save directory at the root of DataRoot's drive: D:\TorneLixTemp\ on a
// PC with its data on D:.
std::string TempSaveDir();


// Scans the present drives from *letter on, skipping skipLetter, for a fixed
// drive; writes the found letter back.
bool FindOtherFixedDrive(char* letter, char skipLetter);
bool IsWriteFilterSystem();
bool ActiveConfigDir(std::string& dir);

// The Packup setting of PackupIni: non-zero counts as set.
bool IsPackupSet();

// setup.cfg's Path checked before anything is saved or deleted: the value as
// written, the file it was read from, and the reason to refuse it (None when
// the product trees stay in their own trees). ProductDir and DataProductDir
// must also lead where the check resolved the value, or it is Unclear.
struct ProductTreeVerdict {
    TreeRefusal refusal = TreeRefusal::None;
    std::string setupCfg;
    std::string pathValue;
};
ProductTreeVerdict CheckInstalledProductTrees();
// The same rule on the Path of another setup.cfg (a new release laid out
// elsewhere to be previewed), against this machine's roots and protected
// folders, as written: where it would lead does not exist yet.
ProductTreeVerdict CheckProductTreesOf(const std::string& setupCfg);

// True for a directory that no tree deletion may remove (ProductTreeCheck's
// IsProtectedDirectory on the system's full form of the path).
bool IsProtectedFromDeletion(const std::string& directory);

// A path as the setup itself writes it: "X:\" and names, no "." or ".."
// parts, no empty part, no character Windows refuses in a name. Anything
// else read from a file is never acted on.
bool IsPlainDrivePath(const std::string& path);
// The trees this setup may delete in: the installation root and the data
// root, their "<root>.previous" directories, the wizards and write-filter
// trees, the saved copy of the data tree, and below the temporary
// directory. A plain path only.
bool IsWithinOwnTrees(const std::string& path);

// The image path of a process (not this one) that runs from a file inside
// InstallRoot or ProductDir (only while setup.cfg's Path passes its check),
// in any session; empty when there is none. A process whose path cannot be
// read is not seen.
std::string ProgramRunningFromInstallation();
