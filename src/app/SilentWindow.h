// The install sequence without a window (Setup.exe /S): the same states, ticked
// in a loop that sleeps one period only while a waiting state waits. No box is
// shown: every question is answered as a deployment needs it, and every text
// goes to the setup log (and to whoever started the setup, when it listens).
#pragma once
#include <string>

#include "app/InstallSequence.h"
#include "app/SilentOutput.h"

class InstallOperations;

// The answer a silent run gives to a box of this purpose and MB_* type.
//   wipe warning OK; parameter question Yes (No with keepParameters false);
//   values not carried Cancel (OK with goOnWithoutValues); held file Cancel
//   (it keeps its old version);
//   failed package Cancel (the previous release goes back);
//   the same release again No (Yes with reinstall);
//   a report OK; any other question the answer that changes nothing more:
//   Cancel, No (an OK/Cancel box that only reports, OK).
int SilentAnswer(MessagePurpose purpose, unsigned type, bool keepParameters, bool goOnWithoutValues = false,
                 bool reinstall = false);

// Writes a box's text to the setup log (and to the starter's output) instead
// of showing it, with the answer given to it (a summary its step has written
// already is not written again). Used for the boxes of the sequence and for
// the application's own reports (a log that cannot be written). A report and
// a held file answered Cancel mark the run as not whole.
void RecordSilentMessage(const std::string& text, unsigned type, int answer,
                         MessagePurpose purpose = MessagePurpose::report);

class SilentWindow : public SequenceWindow {
public:
    struct Settings {
        bool keepParameters = true;
        bool goOnWithoutValues = false; // OK, not Cancel, when some values cannot be carried
        bool reinstall = false;         // Yes, not No, when the same release is installed
        unsigned waitSeconds = 300; // for the control program (then exit code 2) and the driver installer (10)
        unsigned periodMs = 500;    // the dialog's timer period
    };

    SilentWindow(InstallOperations& machine, const Settings& settings);

    // Runs the sequence to its end; returns its exit code, made not 0 where
    // something it reported was not done.
    int Run();

    // SequenceWindow. A step's label goes to the output once, as the window
    // would show it (the waiting states show theirs on every tick).
    void ShowStep(InstallStep step) override;
    int ShowMessage(const std::string& text, unsigned type, MessagePurpose purpose) override;
    // No timer: a state that stays where it is looks again one period later.
    void StopTimer() override {}
    void StartTimer() override {}
    void Close() override { m_closed = true; }

    InstallSequence& Sequence() { return m_sequence; }

private:
    Settings m_settings;
    bool m_closed = false;
    bool m_notCarriedRefused = false; // Cancel to the values that cannot be carried
    bool m_driverWaitOver = false;
    int m_lastStep = -1;
    InstallSequence m_sequence;
};
