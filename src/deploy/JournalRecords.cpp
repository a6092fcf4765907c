#include "deploy/JournalRecords.h"

#include <cstdio>
#include <zlib.h>

namespace {
const char kMagic[] = "TLXJOURNAL";
const char kVersion[] = "2";
const char* const kPhaseNames[] = {"setting-aside", "set-aside", "package-started", "transfer-done",
                                   "done",          "discarded", "undone"};

std::string Check(const std::string& body)
{
    unsigned long crc = crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    char hex[9];
    snprintf(hex, sizeof hex, "%08lx", crc & 0xffffffffUL);
    return hex;
}

std::string Line(const std::vector<std::string>& fields)
{
    std::string body;
    for (const std::string& field : fields)
        body += (body.empty() ? "" : "\t") + field;
    return body + "\t" + Check(body) + "\r\n";
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

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
        (kind == "kept" ? contents->kept : contents->absent).push_back(f[1]);
    } else {
        return false;
    }
    return true;
}
} // namespace

JournalReading ParseJournal(const std::string& text, JournalContents* contents, std::string* problem)
{
    *contents = JournalContents();
    size_t start = 0;
    int number = 0;
    bool header = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            break; // the last append, cut short by the power loss, was never acted on
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields = SplitTabs(line);
        bool sound = fields.size() >= 2;
        if (sound) {
            std::string check = fields.back();
            fields.pop_back();
            sound = check == Check(line.substr(0, line.size() - check.size() - 1));
        }
        if (sound && !header)
            sound = header = fields.size() == 2 && fields[0] == kMagic && fields[1] == kVersion;
        else if (sound)
            sound = TakeRecord(fields, contents);
        if (!sound) {
            *problem = "line " + std::to_string(number) + (header ? ": damaged record" : ": not a journal of this setup");
            return JournalReading::damaged;
        }
    }
    if (!header)
        return JournalReading::empty; // nothing was recorded, so nothing was moved
    if (contents->tag.empty() && !(contents->moves.empty() && contents->saved.empty())) {
        *problem = "moves recorded without the run's tag";
        return JournalReading::damaged;
    }
    return JournalReading::ok;
}

std::string JournalHeaderLine() { return Line({kMagic, kVersion}); }
std::string JournalTagLine(const std::string& tag) { return Line({"tag", tag}); }
std::string JournalPhaseLine(RunPhase phase) { return Line({"phase", kPhaseNames[static_cast<int>(phase)]}); }
std::string JournalMoveLine(const JournalMove& move) { return Line({"aside", move.original, move.aside}); }
std::string JournalSavedLine(const JournalMove& move) { return Line({"saved", move.original, move.aside}); }
std::string JournalKeptLine(const std::string& path) { return Line({"kept", path}); }
std::string JournalAbsentLine(const std::string& path) { return Line({"absent", path}); }

std::string RecordLine(const std::vector<std::string>& fields) { return Line(fields); }

bool SplitRecordLine(const std::string& line, std::vector<std::string>* fields)
{
    std::string body = line;
    if (!body.empty() && body.back() == '\r')
        body.pop_back();
    *fields = SplitTabs(body);
    if (fields->size() < 2)
        return false;
    std::string check = fields->back();
    fields->pop_back();
    return check == Check(body.substr(0, body.size() - check.size() - 1));
}
