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
    bool checkIsCurrent = false; // the newest /CHECK is newer than the last run
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
