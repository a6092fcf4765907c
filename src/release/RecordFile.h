// The one format of the setup's records beside the setup log: the set-aside
// journal (SetUp.journal), the kept release (SetUp.kept) and the swap
// (SetUp.swap). Text, one record a line, CR LF; a line's fields are joined
// by tabs and followed by the CRC-32 (hex) of what precedes it on the line.
// The first line names the record's kind and format version. A kind reads
// the versions from its earliest to its own: each line of an earlier version
// goes through the kind's mapping to today's form before any reader sees it,
// so a reader knows one form only. A newer version, or one older than the
// earliest, is damaged: its lines may mean what this setup cannot tell.
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

using RecordFields = std::vector<std::string>;

// Rewrites one line of an earlier version of a kind into today's form;
// false when that version had no such line.
using EarlierLineMapping = bool (*)(int version, RecordFields* line);

// Each kind is defined beside its reader (JournalRecords, KeptRelease,
// ReleaseSwap), with its mapping.
struct RecordKind {
    const char* magic;           // the first field of the header line
    int version;                 // the second, as written now
    int earliest;                // the oldest version read
    bool whole;                  // written whole and closed by "end <count>"
    EarlierLineMapping earlier;  // needed once earliest is below version
};

enum class RecordState {
    missing,  // no file
    notBegun, // 0 bytes, or an appended record cut inside its header: nothing was done on its word
    ok,
    damaged,  // cannot be read, or its text is not a whole record of its kind
};

struct RecordRead {
    RecordState state = RecordState::missing;
    int version = 0;                   // the version its header names
    std::vector<RecordFields> records; // between the header and the closing line, in today's form
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
// The same for a text of another form kept with the records (the trusted
// run state): beside path, on the disk, then in place in one step.
bool ReplaceRecordText(const std::string& path, const std::string& text);
// A whole record's temporary file left by a cut: it never took effect.
std::string RecordTempPath(const std::string& path);
