// The progress dialog: a column of hidden step labels that the install
// sequence reveals as it reaches each step. A window timer ticks the
// sequence; the dialog refuses to close (Enter, Esc, Alt+F4) until the
// sequence closes it itself.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "app/ControllerOperations.h"
#include "app/InstallSequence.h"
#include "platform/ModalDialog.h"

class CAutoUpdateDlg : public ModalDialog, public SequenceWindow {
public:
    static const UINT kSequenceTimer = 112;
    static const UINT kSequencePeriodMs = 500;

    // Uses template LocalControlId(102).
    CAutoUpdateDlg();
    // The same window for a job other than the install (going back to the
    // kept release): the first tick runs it once, with the window as its
    // labels and boxes, and the window closes when it returns.
    explicit CAutoUpdateDlg(std::function<void(SequenceWindow&)> job);
    ~CAutoUpdateDlg() override;

    // SequenceWindow
    void ShowStep(InstallStep step) override;
    int ShowMessage(const std::string& text, unsigned type, MessagePurpose purpose) override;
    void StopTimer() override;
    void StartTimer() override;
    void Close() override { CloseDialog(); }

    // Reveals the step label with this Chinese control id and repaints it now.
    void ShowStepLabel(int chineseControlId);
    // Allows the close and ends the modal run with IDCANCEL.
    void CloseDialog();

    InstallSequence& Sequence() { return m_sequence; }
    int32_t allowClose = 0;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

private:
    void PaintMinimized();

    HICON m_hIcon = nullptr;
    ControllerOperations m_machine;
    InstallSequence m_sequence{*this, m_machine};
    bool m_stepRunning = false;
    std::function<void(SequenceWindow&)> m_job;
};
