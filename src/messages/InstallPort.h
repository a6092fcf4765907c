// The port through which the install steps speak to the user: the step labels
// of the progress window and message boxes owned by it. The steps below the
// application know nothing of windows; the dialog (or a test) implements it.
#pragma once
#include <string>

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

class InstallPort {
public:
    virtual ~InstallPort() = default;
    // Reveals the step's label and repaints it now.
    virtual void ShowStep(InstallStep step) = 0;
    // Shows a message box with the MB_* type; returns the ID* answer.
    virtual int ShowMessage(const std::string& text, unsigned type) = 0;
};
