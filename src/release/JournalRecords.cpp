#include "release/JournalRecords.h"

#include "platform/MultiByte.h"
#include "release/RecordFile.h"

// One version so far: a change of meaning of a line raises it, and the
// mapping takes the earlier version's lines to today's (RecordFile.h).
const RecordKind kJournalKind = {"TLXJOURNAL", 2, 2, false, nullptr};

std::string DataTreeCopy(const JournalContents& run)
{
    if (!run.dataTree.empty())
        for (const JournalMove& move : run.moves)
            if (SamePath(move.original, run.dataTree))
                return move.aside; // moved again after a held file stayed, it went on into the same copy
    return std::string();
}

namespace {
const char* const kPhaseNames[] = {"setting-aside", "set-aside", "package-started", "transfer-done",
                                   "done",          "discarded", "undone"};

bool PhaseNamed(const std::string& name, RunPhase* phase)
{
    for (size_t i = 0; i < sizeof kPhaseNames / sizeof kPhaseNames[0]; ++i)
        if (name == kPhaseNames[i]) {
            *phase = static_cast<RunPhase>(i);
            return true;
        }
    return false;
}

// One whole line (without CR LF) into contents; false when it is not a
// record of this journal.
bool TakeRecord(const std::vector<std::string>& f, JournalContents* contents)
{
    const std::string& kind = f[0];
    if (kind == "tag" && f.size() == 2 && !f[1].empty()) {
        contents->tag = f[1];
    } else if (kind == "release" && f.size() == 3) {
        contents->release = f[1];
        contents->digest = f[2];
    } else if (kind == "phase" && f.size() == 2) {
        RunPhase phase;
        if (!PhaseNamed(f[1], &phase))
            return false;
        // Phases only go forward; a later one never takes an earlier back.
        if (phase > contents->phase)
            contents->phase = phase;
    } else if ((kind == "aside" || kind == "saved") && f.size() == 3 && !f[1].empty() && !f[2].empty()) {
        (kind == "aside" ? contents->moves : contents->saved).push_back({f[1], f[2]});
    } else if ((kind == "kept" || kind == "absent") && f.size() == 2 && !f[1].empty()) {
        // "kept" lines name entries that stayed in place (the line's name
        // is older than the kept release).
        (kind == "kept" ? contents->stayed : contents->absent).push_back(f[1]);
    } else if (kind == "reinstall" && f.size() == 1) {
        contents->reinstall = true;
    } else if (kind == "carries" && f.size() == 2 && !f[1].empty()) {
        contents->carried.push_back(f[1]);
    } else if (kind == "data" && f.size() == 2 && !f[1].empty()) {
        contents->dataTree = f[1];
    } else if ((kind == "laid" || kind == "prior") && f.size() == 3 && !f[1].empty()) {
        (kind == "laid" ? contents->laid : contents->prior).push_back({f[1], f[2]});
    } else {
        return false;
    }
    return true;
}
} // namespace

JournalReading TakeJournalRecords(const std::vector<std::vector<std::string>>& records, JournalContents* contents,
                                  std::string* problem)
{
    *contents = JournalContents();
    int number = 1; // the header
    for (const std::vector<std::string>& fields : records) {
        ++number;
        if (!TakeRecord(fields, contents)) {
            *problem = "line " + std::to_string(number) + ": damaged record";
            return JournalReading::damaged;
        }
    }
    if (contents->tag.empty() && !(contents->moves.empty() && contents->saved.empty())) {
        *problem = "moves recorded without the run's tag";
        return JournalReading::damaged;
    }
    return JournalReading::ok;
}

JournalReading ParseJournal(const std::string& text, JournalContents* contents, std::string* problem)
{
    *contents = JournalContents();
    RecordRead read = ParseRecordText(text, kJournalKind);
    switch (read.state) {
    case RecordState::missing:
    case RecordState::notBegun:
        *problem = read.problem;
        return JournalReading::empty; // nothing was recorded, so nothing was moved
    case RecordState::damaged:
        *problem = read.problem;
        return JournalReading::damaged;
    case RecordState::ok:
        break;
    }
    return TakeJournalRecords(read.records, contents, problem);
}

std::string JournalHeaderLine() { return RecordHeaderLine(kJournalKind); }
std::string JournalTagLine(const std::string& tag) { return RecordLine({"tag", tag}); }
std::string JournalReleaseLine(const std::string& release, const std::string& digest)
{
    return RecordLine({"release", release, digest});
}
std::string JournalPhaseLine(RunPhase phase) { return RecordLine({"phase", kPhaseNames[static_cast<int>(phase)]}); }
std::string JournalMoveLine(const JournalMove& move) { return RecordLine({"aside", move.original, move.aside}); }
std::string JournalSavedLine(const JournalMove& move) { return RecordLine({"saved", move.original, move.aside}); }
std::string JournalStayedLine(const std::string& path) { return RecordLine({"kept", path}); }
std::string JournalAbsentLine(const std::string& path) { return RecordLine({"absent", path}); }
std::string JournalDataTreeLine(const std::string& path) { return RecordLine({"data", path}); }
std::string JournalCarriesLine(const std::string& path) { return RecordLine({"carries", path}); }
std::string JournalReinstallLine() { return RecordLine({"reinstall"}); }
std::string JournalLaidLines(const char* kind, const std::vector<LaidFile>& files)
{
    std::string text;
    for (const LaidFile& file : files)
        text += RecordLine({kind, file.path, file.stamp});
    return text;
}
