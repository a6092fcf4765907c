// The records of SetUp.journal, an appended record file (RecordFile.h).
// Reading tells a record cut short by a power loss (the last line, without
// its end) from a damaged one (a whole line that fails its check or is not
// understood): the first was never acted on, the second means the journal
// cannot be trusted.
#pragma once
#include <string>
#include <vector>

struct RecordKind;
// TLXJOURNAL 2, appended (RecordFile.h).
extern const RecordKind kJournalKind;

// How far a run got; each phase is recorded before the work it names.
enum class RunPhase {
    settingAside,   // state 5 has begun to move the previous release aside
    setAside,       // state 5 has ended
    packageStarted, // the package may have laid files in the original places
    transferDone,   // the values are carried into the new release
    done,           // the update succeeded: what is aside only waits to be deleted
    discarded,      // an undo has moved what the run laid into the discard area
    undone,         // an undo has put everything back: only the clean-up is left
};

struct JournalMove {
    std::string original;
    std::string aside;
};

// A file laid in the data tree: its path there and its stamp (size and last
// write time) as laid. Changed since, it is no longer the release's file.
struct LaidFile {
    std::string path;
    std::string stamp;
};

struct JournalContents {
    std::string tag;                   // the run's own name for its aside directories
    std::string release, digest;       // the release the run installs (its name, its setup file's digest)
    RunPhase phase = RunPhase::settingAside;
    std::vector<JournalMove> moves;    // trees and files set aside by renaming
    std::vector<JournalMove> saved;    // shared files copied aside before the run replaced them
    std::vector<std::string> stayed;   // entries that stayed in place (held, links, failed moves); "kept" lines
    std::vector<std::string> absent;   // nothing was there: whatever is there after the package is new
    std::string dataTree;              // the data tree this run sets aside (its name may change with setup.cfg)
    std::vector<LaidFile> laid;        // files the run lays in the data tree (the new release's)
    std::vector<LaidFile> prior;       // files the release set aside had laid in the data tree
    std::vector<std::string> carried;  // system and driver files the release carries, named before they are touched
    bool reinstall = false;            // the release installed again: the kept release before it stays kept
};

// The copy the run set its data tree aside into; empty when it set none aside.
std::string DataTreeCopy(const JournalContents& run);

enum class JournalReading { ok, empty, damaged };

// Parses text; on damaged, *problem says which line and why; on empty (cut
// before its first line was whole), what was found.
JournalReading ParseJournal(const std::string& text, JournalContents* contents, std::string* problem);
// The records as read from the file (RecordFile's reading).
JournalReading TakeJournalRecords(const std::vector<std::vector<std::string>>& records, JournalContents* contents,
                                  std::string* problem);

// One line each, CR LF included.
std::string JournalHeaderLine();
std::string JournalTagLine(const std::string& tag);
std::string JournalReleaseLine(const std::string& release, const std::string& digest);
std::string JournalPhaseLine(RunPhase phase);
std::string JournalMoveLine(const JournalMove& move);
std::string JournalSavedLine(const JournalMove& move);
std::string JournalStayedLine(const std::string& path);
std::string JournalAbsentLine(const std::string& path);
std::string JournalDataTreeLine(const std::string& path);
std::string JournalCarriesLine(const std::string& path);
std::string JournalReinstallLine();
// "laid" or "prior" lines, one per file, as one text.
std::string JournalLaidLines(const char* kind, const std::vector<LaidFile>& files);

