// What the deployment operations need of the progress dialog: step labels,
// message boxes owned by it, and the language. Keeps deploy/ free of windows.
#pragma once
#include <string>

class InstallUi {
public:
    virtual ~InstallUi() = default;
    // Reveals the step label with this Chinese control id and repaints it now.
    virtual void ShowStepLabel(int chineseControlId) = 0;
    // Shows a message box owned by the dialog; returns the ID* answer.
    virtual int ShowMessage(const std::string& text, unsigned type) = 0;
};
