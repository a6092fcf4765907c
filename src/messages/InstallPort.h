// The port through which the install steps speak to the user: the step labels
// of the progress window and message boxes owned by it. The steps below the
// application know nothing of windows; the dialog (or a test) implements it.
#pragma once
#include <string>

#include "platform/MessageBox.h" // the MB_* types and ID* answers

// The progress window's step labels, top to bottom.
enum class InstallStep {
    WaitControl,
    Start,
    Collect,
    TempParams,
    ClearOld,
    CopyFiles,
    CopyOther,
    Backup,
    Transfer,
    Drivers,
    Finished,
    Reboot,
};

// What a message box is for, so that a setup without a window can answer the
// few questions by what they ask rather than by their wording. A box that
// only reports is a report, and a report says that something was not done
// (a silent run then does not end with exit code 0) unless it is a notice.
enum class MessagePurpose {
    report,         // OK only: something was not done, or the run ends
    notice,         // OK only: tells something that takes nothing away from the run
    summary,        // OK only: a notice that its step has written to the setup log itself
    wipeWarning,    // OK/Cancel: the old installation is about to be wiped
    keepParameters, // Yes/No: keep the parameters of the configurations found
    notCarried,     // OK/Cancel: some configurations' values cannot be carried
    fileInUse,      // OK/Cancel: a held file stops the wipe; OK tries again
    packageFailed,  // Retry/Cancel: the package failed; Cancel puts the previous release back
    goBack,         // Yes/No: swap with the kept release, back or forward (/ROLLBACK)
    sameRelease,    // Yes/No: the release is installed already; install it again
};

class InstallPort {
public:
    virtual ~InstallPort() = default;
    // Reveals the step's label and repaints it now.
    virtual void ShowStep(InstallStep step) = 0;
    // Shows a message box with the MB_* type; returns the ID* answer. The
    // purpose names the question it asks.
    virtual int ShowMessage(const std::string& text, unsigned type,
                            MessagePurpose purpose = MessagePurpose::report) = 0;
};
