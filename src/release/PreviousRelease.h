// The previous release, set aside instead of deleted while an update runs.
// Everything is moved by renames on its own volume (no copies, no extra
// space) into a directory of the run's own beside the installation root of
// its drive, and a journal beside the setup log records the run's phases,
// every move before it happens and every entry that stayed in place, so that
// a run cut short (power loss, a killed process) can be undone at the next
// start as well as a failed one at once, and an undo cut short can be run
// again. An undo never takes an absence for something new: before the
// package has started it only moves back; afterwards it first moves what the
// run laid into a discard area of its own, then moves back.
//
// Links (reparse points) and the boot directory, which holds the journal,
// are never moved: they stay in place and the new release is laid around them.
#pragma once
#include <string>
#include <vector>

#include "release/JournalRecords.h"

// BootDir() + "SetUp.journal".
std::string JournalPath();

// What the journal of an earlier run says.
enum class EarlierRun {
    none,       // no journal (or one that recorded nothing)
    unfinished, // a run was cut short: undo it
    cleanUp,    // it had succeeded, or its undo had: only the clean-up is left
    unreadable, // the journal cannot be read or understood
};
// A journal that names a place outside the product's (RecordPlaces.h) or a
// tag of another form is unreadable: nothing is moved or deleted on its word.
// One cut before its first line was whole is deleted, with a line in the log.
EarlierRun ReadEarlierRun(std::string* problem);
// The same, read without acting on it (no line in the log, nothing deleted);
// *cutEarly says why a journal cut before its first line counts as none.
EarlierRun InspectJournal(JournalContents* run, std::string* problem, std::string* cutEarly);
// Why the journal's records may not be acted on, or empty.
std::string JournalPlacesProblem(const JournalContents& run);

// What putting the previous release back came to.
struct UndoResult {
    bool whole = true;
    // "original <- aside copy" for each entry that could not be put back.
    std::vector<std::string> notBack;
};

// Starts this run's journal with fresh names for its aside directories and
// the release it installs (so that a start after a cut at its very end can
// record it); prior: what the release to be set aside laid in the data tree
// (its operator's files are told from it). False when the journal cannot be
// written: nothing has been moved.
bool BeginSetAside(const std::string& release = std::string(), const std::string& digest = std::string(),
                   const std::vector<LaidFile>& prior = std::vector<LaidFile>());

// Records the files the run is about to lay in the data tree (the new
// release's), before it lays them: an undo takes them out again, and every
// other file of the data tree stays the operator's. False when it could not
// be recorded: they then count as the operator's, and stay.
bool RecordLaid(const std::vector<LaidFile>& files);
// Names the data tree before it is set aside: the later steps, and an undo
// at the next start, tell its files by it.
bool MarkDataTree(const std::string& path);
// Right after the package ran: what it put in the data tree, when this run
// set that tree aside (else the tree is the operator's, kept in place).
bool RecordWhatThePackageLaid();


struct AsideResult {
    bool journalWritten = true;      // false: stop, the moves can no longer be recorded
    std::vector<std::string> stayed; // held or otherwise unmovable entries, each recorded
};
// Moves path (a file or a whole tree) aside. A path that does not exist is
// recorded as absent, so that what the new release lays there goes again. An
// entry that cannot be moved (held open, a name too long) stays where it is,
// is recorded and named in stayed; links stay without being named. Running
// it again for the same path goes on into the same aside copy.
AsideResult SetAside(const std::string& path);

// The data tree's share of the release: its files laid by the release in
// place (the journal's prior record, unchanged since) and the machine's
// values go aside into one copy; the operator's files stay where they are,
// unopened, whatever their names. Held ones are recorded and named as in
// SetAside. A tree that does not exist is recorded as absent.
AsideResult SetAsideReleaseFilesOf(const std::string& tree);

// After the package: the data tree this run set aside comes home into live
// by renames (MoveSavedFilesHome), the machine's values left aside. Every
// rename is of a file the journal already names: an undo cut anywhere in it
// tells the package's files by their record and merges the rest back.
struct DataTreeHome {
    std::string copy;                   // the set-aside copy (empty: the run set none aside)
    size_t moved = 0;                   // files that came home
    std::vector<std::string> notMoved;  // files that stay in copy
};
DataTreeHome BringSavedDataTreeHome(const std::string& live);

// Records a phase of the run; false when the journal cannot be written.
bool RecordPhase(RunPhase phase);

// Before the run writes path outside the product's trees (system and driver
// files): an existing file is copied aside, a missing one recorded as new.
// False when that could not be recorded: path must then not be written.
bool SaveSharedFile(const std::string& path);

// Undoes the run of the journal (this run's or an earlier one's), newest
// first; the aside directories and the journal go once everything is back.
// What is not back keeps its aside copy and the journal, and is named in the
// setup log.
UndoResult PutPreviousReleaseBack();

// The update succeeded: what was set aside is deleted, then the journal. A
// directory that cannot be deleted keeps the journal for the next start,
// which tries again and then names it in the setup log and lets it be.
// False when an operator's file could not come home first and stays aside
// (named in the setup log; nothing that holds one is deleted).
bool DeleteSetAsideRelease();
// The run installs the release already in place again: written before the
// kept release's record changes, so that a cut after it keeps that record.
bool RecordReinstall();

// An earlier run's journal that only waited for its clean-up: its
// directories are deleted; one that still stays is named in the setup log and
// let be, and the journal goes so that this run can begin its own.
void FinishEarlierCleanUp();

// Aside directories that no journal names (a clean-up that failed before):
// left alone, and named in the setup log. keptTag names the kept previous
// release's directories, which are no leftover.
void NameLeftoverAsideDirectories(const std::string& keptTag = std::string());

// The run the journal names (this run's or the one read at the start), or
// null when there is none.
const JournalContents* JournalRun();

// The journal goes, the run's directories stay: they are kept as the
// previous release (KeptRelease.h).
void LetJournalGo();
