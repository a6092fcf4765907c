// SetupState.ini as collected: the installed release, the kept one, the
// staged one and the last run. Read tolerantly: a key that is not there is unknown, not an
// error, so that a later run state with more keys (or fields moved between
// the sections) still reads; what makes it damaged is text that is no INI
// file at all, or an exit code that is no number.
#pragma once
#include <string>

#include "FileReading.h"

struct ReleaseFacts {
    bool present = false; // the section is there
    std::string name;     // UTF-8; empty when unknown
    std::string digest;
    std::string time;
};

struct RunStateFacts {
    FileReading reading;
    ReleaseFacts installed, kept;
    ReleaseFacts staged; // laid beside the installation by /STAGE, not yet switched in
    bool lastRunKnown = false;
    std::string lastTime;    // "YYYY-MM-DD HH:MM:SS", as the setup writes it
    std::string lastOutcome; // the outcome word
    bool exitCodeKnown = false;
    long exitCode = 0;
};

RunStateFacts ParseRunState(const std::string& text, const std::string& name = "SetupState.ini");
RunStateFacts ReadRunState(const std::string& path);
