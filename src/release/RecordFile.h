// The one format of the setup's records beside the setup log: the set-aside
// journal (SetUp.journal), the kept release (SetUp.kept) and the swap
// (SetUp.swap). Text, one record a line, CR LF; a line's fields are joined
// by tabs and followed by the CRC-32 (hex) of what precedes it on the line.
// The first line names the record's kind and format version.
//
// A record is written in one of two ways, named by its kind:
//  - appended (the journal): each line is durable before the work it names,
//    so a last line without its end was cut short and was never acted on;
//  - whole (the kept release, the swap): written beside, closed by a line
//    "end <count of records>", and renamed into place in one step. Without
//    that closing line the file is not whole and is refused.
// A record file lies in a directory that only administrators may write
// (locations' RecordsDir): one whose file or directory admits other writers
// is damaged, whatever it says. What it says is checked here for form only;
// what it names is checked by RecordPlaces before anything is moved or
// deleted on its word.
#pragma once
#include <string>
#include <vector>

struct RecordKind {
    const char* magic;   // the first field of the header line
    const char* version; // the second
    bool whole;          // written whole and closed by "end <count>"
};
extern const RecordKind kJournalKind; // TLXJOURNAL 2, appended
extern const RecordKind kKeptKind;    // TLXKEPT 2, whole
extern const RecordKind kSwapKind;    // TLXSWAP 2, whole

using RecordFields = std::vector<std::string>;

enum class RecordState {
    missing,  // no file
    notBegun, // 0 bytes, or an appended record cut inside its header: nothing was done on its word
    ok,
    damaged,  // cannot be read, or its text is not a whole record of its kind
};

struct RecordRead {
    RecordState state = RecordState::missing;
    std::vector<RecordFields> records; // between the header and the closing line
    std::string problem;               // damaged: which line and why; notBegun: what was found
    // Damaged only because a whole record ends before its closing line: the
    // sound lines read so far are in records, for a reader that can tell
    // that nothing was done on their word.
    bool cutShort = false;
};

// The largest record file read; anything larger is no record of ours.
const unsigned long long kMaxRecordBytes = 16ull << 20;

RecordRead ParseRecordText(const std::string& text, const RecordKind& kind);
RecordRead ReadRecordFile(const std::string& path, const RecordKind& kind);

// One line, CR LF included.
std::string RecordLine(const RecordFields& fields);
std::string RecordHeaderLine(const RecordKind& kind);

// Why the records' directory cannot be trusted (a link, or others than
// administrators may write it); empty when it can, or is not there yet.
std::string RecordDirectoryProblem(const std::string& directory);
// Why a record file there, or its directory, may have been written by others
// than administrators; empty when neither can.
std::string RecordWritersProblem(const std::string& path);
// Makes the records' directory, or gives it its access list again, before a
// record is written there; empty, or why it cannot hold records.
std::string PrepareRecordDirectory(const std::string& directory);

// Appends one line durably; false when it could not be written whole.
bool AppendRecord(const std::string& path, const RecordFields& fields);
// Writes the header, the records and the closing line beside path, then puts
// the file in place in one step; false (and path as it was) on failure.
bool WriteWholeRecord(const std::string& path, const RecordKind& kind, const std::vector<RecordFields>& records);
// A whole record's temporary file left by a cut: it never took effect.
std::string RecordTempPath(const std::string& path);
