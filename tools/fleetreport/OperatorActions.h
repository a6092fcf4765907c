// What an exit code means and what the operator does about it, as the fleet
// guide's tables say (docs/fleet.md), in the order in which controllers need
// someone: the lowest urgency first.
#pragma once

struct OperatorAction {
    long code;
    const char* word;    // the outcome word the run state records for it
    int urgency;         // 0: needs someone now; higher: later; kNoOneNeeded: done
    const char* meaning; // UTF-8
    const char* action;  // UTF-8
};

const int kNoOneNeeded = 100;

// The row of an update's (or /ROLLBACK's) exit code; a code no row names
// is shown as unknown, for someone to look up.
OperatorAction ActionForRun(long code);
// The row of a /CHECK's exit code.
OperatorAction ActionForCheck(long code);
// A run whose log has no closing line and whose run state is older: cut.
OperatorAction ActionForCutRun();
// A controller whose last release change was a /ROLLBACK (outcome "swapped").
OperatorAction ActionForRolledBack();
// A controller whose files are missing, unreadable or damaged.
OperatorAction ActionForFiles();
// How urgent an outcome word is in itself (the run state's words, "run-cut",
// "swapped"); kNoOneNeeded for a word no row names.
int UrgencyOfOutcome(const char* word);
