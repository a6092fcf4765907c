#include "app/RunRecord.h"

#include "app/ExitCodes.h"
#include "release/RunState.h"
#include "logs/SetupLog.h"

const char* ExitCodeWord(int exitCode)
{
    switch (exitCode) {
    case kExitSuccess: return "installed";
    case kExitNotCarried: return "installed-values-not-carried";
    case kExitCancelled: return "nothing-changed";
    case kExitSetupFileUnusable: return "setup-file-unusable";
    case kExitRestored: return "failed-previous-release-back";
    case kExitNotRestored: return "failed-previous-release-not-whole";
    case kExitBadArguments: return "bad-arguments";
    case kExitServiceCase: return "nothing-changed-service-case";
    case kExitIncomplete: return "installed-incomplete";
    case kExitValuesWouldBeLost: return "values-would-be-lost";
    case kExitDriverWaitOver: return "installed-driver-installer-running";
    case kExitReadyNotCarried: return "ready-values-not-carried";
    case kExitNoSpace: return "not-enough-space";
    case kExitNothingKept: return "nothing-kept";
    case kExitRollbackNotDone: return "rollback-not-done";
    case kExitOtherSetup: return "other-setup-running";
    case kExitTryAgainLater: return "try-again-later";
    case kExitRestartCompletes: return "installed-restart-required";
    default: return "other";
    }
}

void RecordRun(int exitCode, int preciseCode, bool rollback, bool changedNothing, bool staged)
{
    // Whether this run put a release in place, and whole: a driver that
    // failed (8) or an installer still running (10) leaves it to complete.
    InstallEnd end = InstallEnd::none;
    if (!rollback && !changedNothing && !staged) {
        if (PutReleaseInPlace(preciseCode))
            end = InstallEnd::whole;
        else if (preciseCode == kExitIncomplete || preciseCode == kExitDriverWaitOver)
            end = InstallEnd::incomplete;
    }
    // The releases themselves are recorded where they change (the update's
    // end, the swap): this is the run's own outcome, and only that.
    std::string outcome = changedNothing                            ? "already-installed"
                          : rollback && exitCode == kExitSuccess ? "swapped"
                          : staged && exitCode == kExitSuccess   ? "staged"
                                                                 : ExitCodeWord(exitCode);
    std::string problem = RecordLastRun(outcome, exitCode, end);
    if (!problem.empty())
        WriteLogLine(problem);
}
