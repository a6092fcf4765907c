#include "OperatorActions.h"

#include <string>

namespace {
const OperatorAction kRunActions[] = {
    {5, "failed-previous-release-not-whole", 0, "the update failed; the previous release is not wholly back",
     "Take the controller out of production. A service engineer reads the setup log (it names what could not be put "
     "back) before anything else is run."},
    {4, "failed-previous-release-back", 2, "the update failed; the previous release is back",
     "The controller runs as before. Hand both logs to release engineering; do not retry the same file blindly."},
    {14, "rollback-not-done", 3, "the kept release could not be put in place; nothing changed",
     "Stop the program holding the file named in the setup log, then run /ROLLBACK again."},
    {9, "values-would-be-lost", 4, "some configurations' values cannot be read or saved; nothing changed",
     "A service engineer looks at the data files named in the setup log, or the job runs again with /GOON."},
    {8, "installed-incomplete", 5, "in place, but something was not done",
     "A service engineer reads the setup log before the machine produces; held files are replaced by running the "
     "setup again at the next stop."},
    {10, "installed-driver-installer-running", 6, "in place; the driver installer still ran when /WAIT ran out",
     "Look at the controller's driver installation before it produces; restart it afterwards."},
    {1, "installed-values-not-carried", 7, "in place, but some configurations' values were not carried",
     "A service engineer sets those configurations' values from the machine's records before it produces."},
    {3, "setup-file-unusable", 8, "the setup file cannot be read or is damaged; nothing changed", "Copy the setup file again and check it."},
    {2, "nothing-changed", 9, "ended before anything was changed",
     "The control program still ran: try again at the next stop. A refused Path, boot directory or journal (named "
     "in the log) is a service case."},
    {1618, "try-again-later", 9, "another run holds the controller; try again later", "Try again at the next stop of the machine."},
    {3010, "installed-restart-needed", 6, "in place; a restart completes it", "Restart the controller (a clean shutdown, not a power cut)."},
    {6, "bad-arguments", 10, "the command line was not understood; nothing changed", "Fix the deployment job."},
    {13, "nothing-kept", 11, "no kept release to go back to; nothing changed", "The controller cannot go back; nothing to undo."},
    {0, "installed", kNoOneNeeded, "done", ""},
};

const OperatorAction kCheckActions[] = {
    {0, "ready", kNoOneNeeded, "check: ready", ""},
    {11, "ready-values-not-carried", 12, "check: ready, but some values would be dropped",
     "Hand the report's dropped values to the service engineers; update when they agree."},
    {2, "not-now", 13, "check: the control program runs, or setup.cfg's Path is refused",
     "Check again at the next stop; a refused Path is a service case."},
    {3, "setup-file-unusable", 8, "check: the setup file or its package cannot be read", "Copy the setup file again."},
    {9, "values-would-be-lost", 4, "check: a configuration's values cannot be read",
     "A service engineer looks at its data file; the update would stop with 9 too."},
    {12, "not-enough-space", 5, "check: not enough free space on a drive", "Free space on that drive first."},
    {13, "nothing-kept", 11, "check: no kept release to go back to", "The controller cannot go back."},
    {14, "rollback-not-possible", 3, "check: the kept release could not be put back", "Read the check report; a service case."},
    {5, "record-damaged", 0, "check: a record beside the setup log cannot be trusted; the update would end with 5",
     "A service engineer reads the record the check report names before anything is run."},
};
} // namespace

OperatorAction ActionForRun(long code)
{
    for (const OperatorAction& row : kRunActions)
        if (row.code == code)
            return row;
    // Recorded by a run that ended (the run state or the closing line), so
    // not a kill: a code of a later release, or of the engine's wrapper.
    return {code, "other", 2, "an exit code this page does not know",
            "Look the code up in the fleet guide's table of the setup that ran, and read the setup log."};
}

OperatorAction ActionForCheck(long code)
{
    for (const OperatorAction& row : kCheckActions)
        if (row.code == code)
            return row;
    return {code, "other", 13, "check: an exit code the guide does not list", "Read the check report."};
}

OperatorAction ActionForCutRun()
{
    return {-1, "run-cut", 1, "the last run did not end (killed, or the machine lost power)",
            "Read the setup log, then run the same command again: it first puts the previous release back, then "
            "installs."};
}

int UrgencyOfOutcome(const char* word)
{
    std::string w = word;
    if (w == ActionForCutRun().word || w == "no-files")
        return ActionForCutRun().urgency;
    for (const OperatorAction& row : kRunActions)
        if (w == row.word)
            return row.urgency;
    return kNoOneNeeded;
}
