// One controller as its collected folder tells it: the four readers' facts
// and what follows from them for the page — the last run's outcome, whether
// someone is needed and why, and every file that could not be read.
#pragma once
#include <string>
#include <vector>

#include "OperatorActions.h"
#include "ReportFile.h"
#include "RunStateFile.h"
#include "SetupLogFile.h"

struct Controller {
    std::string name; // the folder's name, UTF-8
    RunStateFacts state;
    SetupLogFacts log;
    ReportFacts carry, check;

    // The last update or /ROLLBACK: from the run state, or from the log
    // where the log knows a later run (a cut one, or one that recorded no
    // state).
    std::string lastTime;
    std::string outcome; // the outcome word; "run-cut", "no-run-recorded", "no-files"
    bool exitCodeKnown = false;
    long exitCode = 0;
    std::string lastStart; // when the last run began: the log's start line, else the run state's time
    std::string runRelease, runDigest; // the release the last run was for; empty when nothing says
    Reason runReason;                  // what decided the last run's end
    bool checkIsCurrent = false; // the newest /CHECK is newer than the last run
    bool carryIsCurrent = false; // the newest carry report was written by the last run
    std::string checkRelease, checkDigest; // the release the newest /CHECK was for
    Reason checkReason;                    // what decided the newest /CHECK
    bool rolledBack = false; // the last change of the installed release was a /ROLLBACK
    // Why the controller needs someone: the reason of the run or of the check
    // that decided attention.
    Reason reason;
    // The most urgent thing to do, urgency kNoOneNeeded when nothing.
    OperatorAction attention{0, "", kNoOneNeeded, "", ""};
    std::vector<std::string> problems; // UTF-8: files missing, unreadable, damaged
};

// Reads the folder dir of the controller called name.
Controller ReadController(const std::string& dir, const std::string& name);
// Works out the derived fields from the facts already read.
void Conclude(Controller& controller);

// Every controller folder of collected, sorted by name; false with *error
// when collected cannot be listed.
bool ReadCollected(const std::string& collected, std::vector<Controller>* controllers, std::string* error);
