// The progress dialog: a column of hidden step labels that the install
// sequence reveals as it reaches each step. A window timer drives the
// sequence, one state per tick; the dialog refuses to close (Enter, Esc,
// Alt+F4) until the sequence closes it itself.
#pragma once
#include <cstdint>
#include <string>

#include "paramsteps/ParameterSteps.h"
#include "messages/InstallUi.h"
#include "platform/ModalDialog.h"

class CAutoUpdateDlg : public ModalDialog, public InstallUi {
public:
    // The states of the install sequence; the numbers are fixed, the gaps
    // (4, 11, 13, 14, 17-19) are not states.
    enum State : int32_t {
        WaitControlExit = 0,
        ConfirmWipe = 1,
        CollectInfo = 2,
        SaveFiles = 3,
        ClearOld = 5,
        Extract = 6,
        CopySystem = 7,
        NoOpStep = 8,
        RestoreFiles = 9,
        WriteLanguage = 10,
        Drivers = 12,
        Transfer = 15,
        PostInstall = 16,
        Finish = 20,
    };
    static const UINT kSequenceTimer = 112;
    static const UINT kSequencePeriodMs = 500;

    // Uses template LocalControlId(102); captures TempPath and ParamWorkDir
    // and looks up the active configuration directory.
    CAutoUpdateDlg();
    ~CAutoUpdateDlg() override;

    // InstallUi
    void ShowStepLabel(int chineseControlId) override;
    int ShowMessage(const std::string& text, unsigned type) override;

    // Runs the state named by sequenceState once.
    void RunSequenceStep();
    // Allows the close and ends the modal run with IDCANCEL.
    void CloseDialog();
    // Ends the sequence after an OK-only message.
    void AbortWithMessage(const std::string& text);

    int32_t sequenceState = WaitControlExit;
    int32_t allowClose = 0;
    ParameterSession params{*this}; // owns transferRequested and the parameter lists

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    struct StateEntry {
        State number;
        const char* name;
        void (CAutoUpdateDlg::*run)();
    };
    static const StateEntry kStates[];

    void StateWaitControlExit();
    void StateConfirmWipe();
    void StateCollectInfo();
    void StateSaveFiles();
    void StateClearOld();
    void StateExtract();
    void StateCopySystem();
    void StateNoOpStep();
    void StateRestoreFiles();
    void StateWriteLanguage();
    void StateDrivers();
    void StateTransfer();
    void StatePostInstall();
    void StateFinish();

    void StopTimer();
    void StartTimer();
    void GoTo(State next) { sequenceState = next; }
    void PaintMinimized();

    HICON m_hIcon = nullptr;
    HANDLE m_controlMutex = nullptr; // kept open once the control program has gone
    int32_t m_lastTracedState = -1;
    bool m_stepRunning = false;
};
