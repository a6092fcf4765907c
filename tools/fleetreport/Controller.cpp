#include "Controller.h"

#include <algorithm>

#include "platform/DirectoryEntries.h"
#include "platform/Paths.h"
#include "platform/TextEncoding.h"

namespace {
bool Worse(const OperatorAction& a, const OperatorAction& b) { return a.urgency < b.urgency; }

void NoteProblem(Controller& c, const FileReading& reading)
{
    if (reading.state == FileState::unreadable || reading.state == FileState::damaged ||
        (reading.state == FileState::ok && !reading.problem.empty()))
        c.problems.push_back(reading.problem);
}
} // namespace

void Conclude(Controller& c)
{
    c.problems.clear();
    const bool stateRead = c.state.reading.Ok();
    if (stateRead && c.state.lastRunKnown) {
        c.lastTime = c.state.lastTime;
        c.outcome = c.state.lastOutcome;
        c.exitCodeKnown = c.state.exitCodeKnown;
        c.exitCode = c.state.exitCode;
    }
    // A run the log knows and the run state does not: cut before it could
    // record itself, or one that records nothing (a refused command line).
    const SetupLogFacts& log = c.log;
    bool laterInLog = log.reading.Ok() && log.runFound && !log.check &&
                      (c.lastTime.empty() || log.startTime > c.lastTime);
    bool cut = false;
    if (laterInLog) {
        c.lastTime = log.startTime;
        c.exitCodeKnown = log.closed;
        c.exitCode = log.closingCode;
        cut = !log.closed;
        c.outcome = cut ? ActionForCutRun().word : ActionForRun(log.closingCode).word;
    }
    if (c.outcome.empty() && c.exitCodeKnown)
        c.outcome = ActionForRun(c.exitCode).word;
    if (c.outcome.empty())
        c.outcome = c.state.reading.state == FileState::missing && c.log.reading.state == FileState::missing
                        ? "no-files"
                        : "no-run-recorded";

    c.attention = {0, "", kNoOneNeeded, "", ""};
    if (cut)
        c.attention = ActionForCutRun();
    else if (c.exitCodeKnown)
        c.attention = ActionForRun(c.exitCode);

    c.checkIsCurrent = c.check.reading.Ok() && (c.lastTime.empty() || c.check.time > c.lastTime);
    if (c.checkIsCurrent) {
        OperatorAction checked{0, "", kNoOneNeeded, "", ""};
        if (c.check.exitCodeKnown)
            checked = ActionForCheck(c.check.exitCode);
        else if (!c.check.verdict.empty() && c.check.verdict != u8"结论：可以更新")
            checked = ActionForCheck(c.check.verdict.find(u8"部分参数不会迁移") != std::string::npos ? 11 : -1);
        if (Worse(checked, c.attention))
            c.attention = checked;
    }

    NoteProblem(c, c.state.reading);
    NoteProblem(c, c.log.reading);
    NoteProblem(c, c.carry.reading);
    NoteProblem(c, c.check.reading);
    if (c.state.reading.state == FileState::missing && c.log.reading.state == FileState::missing)
        c.problems.push_back("neither SetupState.ini nor SetUp.log was collected");
    else if (c.log.reading.state == FileState::missing)
        c.problems.push_back("SetUp.log not collected");
    else if (c.state.reading.state == FileState::missing && laterInLog && log.closed && log.closingCode != 6)
        // A run that ended writes the run state (a refused command line does not).
        c.problems.push_back("SetupState.ini not collected");
    if (!c.problems.empty()) {
        OperatorAction files{-2, "", 2, "files missing or damaged",
                             "Collect the controller's files again; a damaged run state or log is read by a "
                             "service engineer on the controller."};
        if (Worse(files, c.attention))
            c.attention = files;
    }
}

Controller ReadController(const std::string& dir, const std::string& name)
{
    Controller c;
    c.name = IsValidUtf8(name) ? name : GbkToUtf8(name);
    c.state = ReadRunState(JoinPath(dir, "SetupState.ini"));
    c.log = ReadSetupLog(JoinPath(dir, "SetUp.log"));
    c.carry = ReadNewestReport(dir, "CarryReport");
    c.check = ReadNewestReport(dir, "CheckReport");
    Conclude(c);
    return c;
}

bool ReadCollected(const std::string& collected, std::vector<Controller>* controllers, std::string* error)
{
    std::vector<std::string> names;
    bool listed = ForEachEntry(collected, "*", [&](const DirectoryEntry& entry) {
        if (entry.IsDirectory())
            names.push_back(entry.name);
        return true;
    });
    if (!listed) {
        *error = "cannot list " + collected;
        return false;
    }
    std::sort(names.begin(), names.end());
    controllers->clear();
    controllers->reserve(names.size());
    for (const std::string& name : names)
        controllers->push_back(ReadController(JoinPath(collected, name), name));
    return true;
}
