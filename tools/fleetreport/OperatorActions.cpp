#include "OperatorActions.h"

#include <string>

namespace {
// Urgencies follow the order the fleet guide gives for "Need someone first"
// (docs/fleet.md): 5, a cut run, files missing or damaged, 4, a code the page
// does not know, 14, 9, 12, 8, 10 and 3010, a rolled-back controller, 3, 1,
// 7, 2 and 15 and 1618, 6, 13, then the checks that only warn or wait.
const OperatorAction kRunActions[] = {
    {5, "failed-previous-release-not-whole", 0, "the update failed; the previous release is not wholly back",
     "Take the controller out of production. A service engineer reads the setup log (it names what could not be put "
     "back) before anything else is run."},
    {4, "failed-previous-release-back", 3, "the update failed; the previous release is back",
     "The controller runs as before. Hand both logs to release engineering; do not retry the same file blindly."},
    {14, "rollback-not-done", 5, "the kept release could not be put in place; nothing changed",
     "Stop the program holding the file named in the setup log, then run /ROLLBACK again."},
    {9, "values-would-be-lost", 6, "some configurations' values cannot be read or saved; nothing changed",
     "A service engineer looks at the data files named in the setup log, or the job runs again with /GOON."},
    {8, "installed-incomplete", 8, "in place, but something was not done",
     "A service engineer reads the setup log before the machine produces; held files are replaced by running the "
     "setup again at the next stop."},
    {10, "installed-driver-installer-running", 9, "in place; the driver installer still ran when /WAIT ran out",
     "Look at the controller's driver installation before it produces; restart it afterwards."},
    {3010, "installed-restart-required", 9, "in place; a restart completes it",
     "Restart the controller (a clean shutdown, not a power cut) if the engine did not."},
    {3, "setup-file-unusable", 11, "the setup file cannot be read or is damaged; nothing changed",
     "Copy the setup file again and check it."},
    {1, "installed-values-not-carried", 12, "in place, but some configurations' values were not carried",
     "A service engineer sets those configurations' values from the machine's records before it produces."},
    {7, "nothing-changed-service-case", 13, "ended before anything was changed: a service case",
     "The setup log names it: a refused Path, no boot directory, a journal that cannot be written, or the setup "
     "file started from inside the installation."},
    {2, "nothing-changed", 14, "ended before anything was changed",
     "The control program still ran: try again at the next stop. A refused Path, boot directory or journal (named "
     "in the log) is a service case."},
    {1618, "try-again-later", 14, "nothing changed; something still ran when /WAIT ran out",
     "Try again at the next stop of the machine; the reason says what still ran."},
    {15, "try-again-later", 14, "nothing changed; another setup still ran when /WAIT ran out",
     "Try again later; an engine's retry while its first run still works ends so."},
    {6, "bad-arguments", 15, "the command line was not understood; nothing changed", "Fix the deployment job."},
    {13, "nothing-kept", 16, "no kept release to go back to; nothing changed", "The controller cannot go back; nothing to undo."},
    {0, "installed", kNoOneNeeded, "done", ""},
};

const OperatorAction kCheckActions[] = {
    {0, "ready", kNoOneNeeded, "check: ready", ""},
    {5, "record-damaged", 0, "check: a record of the setup cannot be trusted; the update would end with 5",
     "A service engineer reads the record the check report names before anything is run."},
    {14, "rollback-not-possible", 5, "check: the kept release could not be put back", "Read the check report; a service case."},
    {9, "values-would-be-lost", 6, "check: a configuration's values cannot be read",
     "A service engineer looks at its data file; the update would stop with 9 too."},
    {12, "not-enough-space", 7, "check: not enough free space on a drive", "Free space on that drive first."},
    {3, "setup-file-unusable", 11, "check: the setup file or its package cannot be read", "Copy the setup file again."},
    {7, "service-case", 13, "check: setup.cfg's Path is refused", "A service case: the check report names it."},
    {13, "nothing-kept", 16, "check: no kept release to go back to", "The controller cannot go back."},
    {11, "ready-values-not-carried", 17, "check: ready, but some values would be dropped",
     "Hand the report's dropped values to the service engineers; update when they agree."},
    {2, "not-now", 18, "check: the control program runs, or setup.cfg's Path is refused",
     "Check again at the next stop; a refused Path is a service case."},
    {1618, "not-now", 18, "check: the control program or another setup still ran", "Check again at the next stop."},
    {15, "not-now", 18, "check: another setup still ran", "Check again later."},
};
} // namespace

OperatorAction ActionForRun(long code)
{
    for (const OperatorAction& row : kRunActions)
        if (row.code == code)
            return row;
    // Recorded by a run that ended (the run state or the closing line), so
    // not a kill: a code of a later release, or of the engine's wrapper.
    return {code, "other", 4, "an exit code this page does not know",
            "Look the code up in the fleet guide's table of the setup that ran, and read the setup log."};
}

OperatorAction ActionForCheck(long code)
{
    for (const OperatorAction& row : kCheckActions)
        if (row.code == code)
            return row;
    return {code, "other", 18, "check: an exit code the guide does not list", "Read the check report."};
}

OperatorAction ActionForCutRun()
{
    return {-1, "run-cut", 1, "the last run did not end (killed, or the machine lost power)",
            "Read the setup log, then run the same command again: it first puts the previous release back, then "
            "installs."};
}

OperatorAction ActionForRolledBack()
{
    return {0, "swapped", 10, "rolled back: the release being rolled out is not installed",
            "Take the controller out of the roll-out (an exclusion collection, a group of its own), or the engine "
            "installs the release again at its next cycle; put it back once the new release may go on it again."};
}

OperatorAction ActionForFiles()
{
    return {-2, "", 2, "files missing or damaged",
            "Collect the controller's files again; a damaged run state or log is read by a service engineer on the "
            "controller."};
}

int UrgencyOfOutcome(const char* word)
{
    std::string w = word;
    if (w == ActionForCutRun().word || w == "no-files")
        return ActionForCutRun().urgency;
    if (w == ActionForRolledBack().word)
        return ActionForRolledBack().urgency;
    for (const OperatorAction& row : kRunActions)
        if (w == row.word)
            return row.urgency;
    return kNoOneNeeded;
}
