// What Setup.exe tells the program that started it.
#pragma once

enum SetupExitCode : int {
    kExitSuccess = 0,           // the new release is in place
    kExitNotCarried = 1,        // in place; some configurations' values were not carried
    kExitCancelled = 2,         // ended before anything was changed
    kExitSetupFileUnusable = 3, // the setup file cannot be read or its check fails
    kExitRestored = 4,          // the update failed; the previous release is back
    kExitNotRestored = 5,       // the update failed; the previous release is not wholly back
    kExitBadArguments = 6,      // the command line was not understood; nothing changed
    kExitServiceCase = 7,       // /ENGINECODES: nothing changed; a service engineer must look (without it 2)
    // /S only: a silent run reports what a person would have been shown.
    kExitIncomplete = 8,        // in place, but something was not done (the setup log names it)
    kExitValuesWouldBeLost = 9, // some configurations' values cannot be carried; nothing changed (/GOON goes on)
    kExitDriverWaitOver = 10,   // in place; the driver installer still ran when /WAIT ran out
    // /CHECK only (nothing is changed; 0 there means ready, 2, 3 and 9 why not).
    kExitReadyNotCarried = 11,  // ready, but some of the machine's values have no member in the new release
    kExitNoSpace = 12,          // a drive lacks the free space the update needs (/S /STAGE: the program drive, for the stage)
    // /ROLLBACK: 0 the kept release is in place; 2 cancelled; 5 the swap did not finish (the next start goes on).
    kExitNothingKept = 13,      // no kept release to go back to; nothing changed
    kExitRollbackNotDone = 14,  // the kept release could not be put in place; nothing changed
    kExitOtherSetup = 15,       // another setup still ran after /WAIT (or Cancel); nothing changed
    // /ENGINECODES: the codes deployment engines act on by themselves.
    kExitTryAgainLater = 1618,    // nothing changed; the control program or another setup still ran after /WAIT
    kExitRestartCompletes = 3010, // in place; a restart completes it (write filter; driver installer after /WAIT)
};

// The runs produce the precise codes (7 for a service case, 1618 for the
// control program after /WAIT, 3010 for a whole write-filter update); the
// code given to the starter depends on /ENGINECODES. Without it every code
// is as documented before the switch came: 7 and 1618 are 2, 3010 is 0.
inline int GivenExitCode(int code, bool engineCodes)
{
    if (engineCodes)
        return code == kExitOtherSetup      ? kExitTryAgainLater
               : code == kExitDriverWaitOver ? kExitRestartCompletes
                                             : code;
    return code == kExitServiceCase || code == kExitTryAgainLater ? kExitCancelled
           : code == kExitRestartCompletes                        ? kExitSuccess
                                                                  : code;
}

// The run put a release in place, whole (an update or a swap): what the
// run state must then say.
inline bool PutReleaseInPlace(int precise)
{
    return precise == kExitSuccess || precise == kExitNotCarried || precise == kExitReadyNotCarried ||
           precise == kExitRestartCompletes;
}
