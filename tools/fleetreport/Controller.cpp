#include "Controller.h"

#include <algorithm>

#include "platform/DirectoryEntries.h"
#include "platform/Paths.h"
#include "platform/TextEncoding.h"
#include "SetupLogFile.h"

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
    c.lastTime.clear();
    c.outcome.clear();
    c.exitCodeKnown = false;
    c.exitCode = 0;
    const bool stateRead = c.state.reading.Ok();
    if (stateRead && c.state.lastRunKnown) {
        c.lastTime = c.state.lastTime;
        c.outcome = c.state.lastOutcome;
        c.exitCodeKnown = c.state.exitCodeKnown;
        c.exitCode = c.state.exitCode;
    }
    // A run the log knows and the run state does not: cut before it could
    // record itself, or one that records nothing (a refused command line,
    // another setup's lock).
    const SetupLogFacts& log = c.log;
    const LogRun& update = log.lastUpdate;
    const bool logRead = log.reading.Ok();
    bool laterInLog = logRead && update.found && (c.lastTime.empty() || update.startTime > c.lastTime);
    bool cut = false;
    if (laterInLog) {
        c.lastTime = update.startTime;
        c.exitCodeKnown = update.closed;
        c.exitCode = update.closingCode;
        cut = !update.closed;
        c.outcome = cut                                        ? ActionForCutRun().word
                    : update.rollback && update.closingCode == 0 ? ActionForRolledBack().word
                                                               : ActionForRun(update.closingCode).word;
    }
    if (c.outcome.empty() && c.exitCodeKnown)
        c.outcome = ActionForRun(c.exitCode).word;
    if (c.outcome.empty())
        c.outcome = c.state.reading.state == FileState::missing && c.log.reading.state == FileState::missing
                        ? "no-files"
                        : "no-run-recorded";

    // The log's last update is the run shown (the run state records a run
    // when it ends, after its start line), unless the log has none.
    bool logRunShown = logRead && update.found && !c.lastTime.empty();
    c.lastStart = logRunShown ? update.startTime : c.lastTime;
    c.runReason = logRunShown ? update.reason : Reason();
    // The run names the reports it wrote; a log that names none (an earlier
    // setup's) leaves the time to tell.
    if (!c.carry.reading.Ok()) {
        c.carryIsCurrent = false;
    } else if (logRunShown && log.namesReports) {
        auto stem = [](const std::string& name) { return name.substr(0, name.find_last_of('.')); };
        c.carryIsCurrent = false;
        for (const std::string& report : update.reports)
            c.carryIsCurrent = c.carryIsCurrent || stem(report) == stem(c.carry.reading.file);
    } else {
        c.carryIsCurrent = !c.lastStart.empty() && c.carry.time >= c.lastStart;
    }
    // Times have whole seconds: a check and the run after it may share one,
    // and the log's order of the two tells them apart.
    const LogRun& checkRun = log.lastCheck;
    if (!c.check.reading.Ok())
        c.checkIsCurrent = false;
    else if (logRunShown && checkRun.found && checkRun.startTime <= c.check.time)
        c.checkIsCurrent = checkRun.order > update.order;
    else
        c.checkIsCurrent = c.lastStart.empty() || c.check.time >= c.lastStart;

    // The release the run was for: its own log line; the carry report it
    // wrote; what it installed, when it installed.
    c.runRelease.clear();
    c.runDigest.clear();
    bool installs = c.exitCodeKnown && (c.exitCode == 0 || c.exitCode == 1 || c.exitCode == 8 ||
                                        c.exitCode == 10 || c.exitCode == 3010);
    if (logRunShown && update.rollback) {
        // A /ROLLBACK is for the kept release, whichever setup file ran it:
        // the one it brought back, or the one it could not.
        const ReleaseFacts& target = c.exitCodeKnown && c.exitCode == 0 ? c.state.installed : c.state.kept;
        if (stateRead && !laterInLog && target.present) {
            c.runRelease = target.name;
            c.runDigest = target.digest;
        }
    } else if (logRunShown && !update.release.empty()) {
        c.runRelease = update.release;
        c.runDigest = update.digest;
    } else if (c.carryIsCurrent && !c.carry.release.empty()) {
        c.runRelease = c.carry.release;
        c.runDigest = c.carry.digest;
    } else if (installs && !laterInLog && stateRead && c.state.installed.present) {
        c.runRelease = c.state.installed.name;
        c.runDigest = c.state.installed.digest;
    }
    // The check's release: its report, else the log's last /CHECK when that
    // is the one the report came from.
    c.checkRelease = c.check.release;
    c.checkDigest = c.check.digest;
    if (c.checkRelease.empty() && logRead && log.lastCheck.found && log.lastCheck.startTime <= c.check.time) {
        c.checkRelease = log.lastCheck.release;
        c.checkDigest = log.lastCheck.digest;
    }
    c.checkReason = c.check.reading.Ok() ? ReasonOfCheckLines(c.check.lines) : Reason();

    // The log tells a second /ROLLBACK (back to the update's release) from a
    // first; the run state alone only that the last run swapped.
    c.rolledBack = !cut && (logRead && update.found ? log.rolledBack : c.outcome == ActionForRolledBack().word);

    c.attention = {0, "", kNoOneNeeded, "", ""};
    c.reason = Reason();
    if (cut)
        c.attention = ActionForCutRun();
    else if (c.exitCodeKnown)
        c.attention = ActionForRun(c.exitCode);
    if (c.attention.urgency < kNoOneNeeded)
        c.reason = c.runReason;
    if (c.rolledBack && Worse(ActionForRolledBack(), c.attention)) {
        c.attention = ActionForRolledBack();
        c.reason = Reason();
    }

    if (c.checkIsCurrent) {
        OperatorAction checked{0, "", kNoOneNeeded, "", ""};
        if (c.check.exitCodeKnown)
            checked = ActionForCheck(c.check.exitCode);
        else if (!c.check.verdict.empty() && c.check.verdict != u8"结论：可以更新")
            checked = ActionForCheck(c.check.verdict.find(u8"部分参数不会迁移") != std::string::npos ? 11 : -1);
        if (Worse(checked, c.attention)) {
            c.attention = checked;
            c.reason = c.checkReason;
        }
    }

    NoteProblem(c, c.state.reading);
    NoteProblem(c, c.log.reading);
    NoteProblem(c, c.carry.reading);
    NoteProblem(c, c.check.reading);
    if (c.state.reading.state == FileState::missing && c.log.reading.state == FileState::missing)
        c.problems.push_back("neither SetupState.ini nor SetUp.log was collected");
    else if (c.log.reading.state == FileState::missing)
        c.problems.push_back("SetUp.log not collected");
    else if (c.state.reading.state == FileState::missing && laterInLog && update.closed && update.closingCode != 6 &&
             update.closingCode != 15 && !(update.closingCode == 1618 && update.reason.kind == "another setup"))
        // A run that ended writes the run state (a refused command line and
        // one that met another setup's lock do not).
        c.problems.push_back("SetupState.ini not collected");
    if (!c.problems.empty() && Worse(ActionForFiles(), c.attention)) {
        c.attention = ActionForFiles();
        c.reason = {"file", c.problems.front()};
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
