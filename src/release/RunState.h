// What a deployment engine reads to know a machine: the release installed
// (the setup file's name and digest, and when) and how the last run ended.
// Written after every run that could change the machine, to the state file
// beside the setup log (BootDir\SetupState.ini, an INI file) and to the key
// HKLM\Software\Velko\TorneLix\Setup. Windows only.
#pragma once
#include <string>

extern const char kRunStateKey[];      // "Software\\Velko\\TorneLix\\Setup"

// What the run did to the kept previous release's entry ([Kept] in the file,
// Kept... in the key), so that an engine knows what /ROLLBACK would bring back.
enum class KeptChange {
    unchanged, // a run that failed or changed nothing
    replaced,  // the update kept the release it replaced: the installed one becomes the kept one
    gone,      // no release is kept after this run
    swapped,   // /ROLLBACK: the installed and the kept release changed places
};

struct RunState {
    bool releaseInstalled = false; // this run put the new release in place
    KeptChange kept = KeptChange::unchanged;
    std::string setupName;         // the setup file's name
    std::string setupDigest;       // its recorded MD5, hex
    std::string outcome;           // a word for the exit code (RunOutcomeWord)
    int exitCode = 0;
};

// The installed release's fields are replaced only when releaseInstalled
// (or exchanged with the kept one's when swapped); otherwise those of an
// earlier run stay. Both places are written even when
// one fails; the text for the setup log of what could not be written, or
// empty.
std::string RecordRunState(const RunState& state);
