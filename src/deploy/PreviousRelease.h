// The previous release, set aside instead of deleted while an update runs.
// Everything is moved by renames on its own volume (no copies, no extra
// space) into a hidden directory beside the installation root of its drive,
// and a journal beside the setup log records each move before it happens, so
// that a run cut short (power loss, a killed process) can be undone at the
// next start as well as a failed one at once.
#pragma once
#include <string>

// BootDir() + "SetUp.journal".
std::string JournalPath();

// The journal of a run that did not end is there.
bool UnfinishedRunRecorded();
// That run had already succeeded; only its clean-up was cut short.
bool UnfinishedRunSucceeded();

// Moves path (a file or a whole tree) aside; a path that does not exist is
// recorded as absent, so that what the new release lays there goes again.
// A file that another program holds open stays where it is and is named in
// *held; everything else is moved. False when something stayed.
bool SetAside(const std::string& path, std::string* held);
// The user chose to leave a held file in place: putting the previous release
// back must not remove it.
void RecordKept(const std::string& path);

// Puts everything recorded back where it was, newest first, after removing
// what the new release put in its place; then the aside directories and the
// journal go. False when something could not be put back (its aside copy is
// kept and named in the trace log and the setup log).
bool PutPreviousReleaseBack();

// The update succeeded: what was set aside is deleted, then the journal.
void DiscardPreviousRelease();
