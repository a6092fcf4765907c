// What a deployment engine reads to know a machine: the release installed
// (its name and digest, and when), the release kept to go back to, and how
// the last run ended, in a section of its own. Written whole (an INI file
// replaced in one step) to the records' directory, where only administrators
// write and from where it is read again, and as a report to SetupState.ini
// beside the setup log and to the key HKLM\Software\Velko\TorneLix\Setup. The installed release's fields
// change only when the installed release does: an update, a swap, or a swap
// or an update finished at the next start. Every write also puts the
// release in place into the system's list of installed programs (the key
// HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TorneLix, the
// 32-bit view as the state's key), so that what it shows is always the
// release that runs. Windows only.
#pragma once
#include <string>

extern const char kRunStateKey[]; // "Software\\Velko\\TorneLix\\Setup"
// "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TorneLix": DisplayName,
// DisplayVersion (the release's name), Publisher, InstallLocation (the
// installation root), EstimatedSize (KB of the program tree), NoModify,
// NoRepair, and an UninstallString that says there is no uninstaller and
// changes nothing.
extern const char kInstalledProgramsKey[];

// A release as the state names it.
struct ReleaseFields {
    std::string release; // its name (the setup file's base name for one built without a name)
    std::string digest;  // the MD5 its setup file's trailer records, hex
    std::string time;    // when it was installed
    std::string complete; // "no": its install ended with something not done; "yes", or empty where not known
};
ReleaseFields InstalledReleaseOfState();
ReleaseFields KeptReleaseOfState();
// The release laid beside the installation by /STAGE ([Staged], Staged...),
// until an update switches it in or drops it.
ReleaseFields StagedReleaseOfState();
std::string RecordReleaseStaged(const std::string& setupName, const std::string& digest);
// No stage any more (switched in or dropped); nothing written when none was recorded.
std::string RecordStageGone();

// What the run did to the kept previous release's entry ([Kept] in the file,
// Kept... in the key), so that an engine knows what /ROLLBACK would bring back.
enum class KeptChange {
    unchanged, // a run that failed or changed nothing
    replaced,  // the update kept the release it replaced: the installed one becomes the kept one
    gone,      // no release is kept after this run
};

// A new release is in place (at the end of an update, or an update whose
// end was cut and that the next start found done). setupName and digest
// name it; the last run's section is left as it is.
std::string RecordReleaseInstalled(const std::string& setupName, const std::string& digest, KeptChange kept);
// The installed and the kept release changed places (a swap, also one
// finished at the next start).
std::string RecordReleasesSwapped();
// The last run's own section: its outcome word and exit code, and only
// that. Each returns the text for the setup log of what could not be
// written, or empty.
// installEnd: the run installed the release now in place, whole or with
// something not done (a driver); a same-release run then completes it.
enum class InstallEnd { none, whole, incomplete };
// A write of the trusted run state failed in this process: the next run
// cannot know what this one put in place.
bool TrustedRunStateWriteFailed();
std::string RecordLastRun(const std::string& outcome, int exitCode, InstallEnd installEnd = InstallEnd::none);
