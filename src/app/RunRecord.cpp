#include "app/RunRecord.h"

#include "app/ExitCodes.h"
#include "deploy/KeptRelease.h"
#include "deploy/RunState.h"
#include "logs/SetupLog.h"
#include "platform/Process.h"
#include "setupfile/SetupDigest.h"

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
    case kExitIncomplete: return "installed-incomplete";
    case kExitValuesWouldBeLost: return "values-would-be-lost";
    case kExitDriverWaitOver: return "installed-driver-installer-running";
    case kExitReadyNotCarried: return "ready-values-not-carried";
    case kExitNoSpace: return "not-enough-space";
    case kExitNothingKept: return "nothing-kept";
    case kExitRollbackNotDone: return "rollback-not-done";
    default: return "other";
    }
}

void RecordRun(int exitCode, bool rollback)
{
    RunState state;
    state.exitCode = exitCode;
    state.outcome = ExitCodeWord(exitCode);
    if (rollback) {
        // A rollback ends with 0 only once the two releases changed places.
        if (exitCode == kExitSuccess) {
            state.outcome = "swapped";
            state.kept = KeptChange::swapped;
        }
        std::string problem = RecordRunState(state);
        if (!problem.empty())
            WriteLogLine(problem);
        return;
    }
    state.releaseInstalled = exitCode == kExitSuccess || exitCode == kExitNotCarried || exitCode == kExitIncomplete ||
                             exitCode == kExitDriverWaitOver;
    if (state.releaseInstalled) {
        KeptRecord kept;
        std::string unreadable;
        state.kept = ReadKeptRecord(&kept, &unreadable) == KeptReading::ok ? KeptChange::replaced : KeptChange::gone;
    }
    if (state.releaseInstalled) {
        // The release's name as mksetup --release stored it; a file without
        // one is named by its file name.
        const std::string setup = RunningProgramPath();
        state.setupName = RecordedReleaseName(setup);
        if (state.setupName.empty())
            state.setupName = setup.substr(setup.find_last_of('\\') + 1);
        state.setupDigest = RecordedSetupDigest(setup);
    }
    std::string problem = RecordRunState(state);
    if (!problem.empty())
        WriteLogLine(problem);
}
