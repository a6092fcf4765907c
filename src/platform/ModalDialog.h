// A modal dialog from a resource template (DialogBoxParamA), with virtual
// handlers for the few messages a dialog of this program reacts to. Windows
// only; the dialog procedure routes messages to the object.
#pragma once
#ifdef _WIN32
#include <windows.h>

class ModalDialog {
public:
    explicit ModalDialog(int templateId);
    virtual ~ModalDialog();
    ModalDialog(const ModalDialog&) = delete;
    ModalDialog& operator=(const ModalDialog&) = delete;

    // Creates the dialog and runs its modal loop; returns the EndDialog
    // result, or -1 when the template could not be used.
    INT_PTR DoModal(HWND parent = nullptr);
    HWND Handle() const { return m_hwnd; }
    int TemplateId() const { return m_templateId; }

protected:
    // WM_INITDIALOG; true leaves the focus to the system.
    virtual bool OnInitDialog() { return true; }
    // IDOK / IDCANCEL (Enter, Esc, Alt+F4); the defaults end the dialog.
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Every other message. Return true when handled; *result is what the
    // dialog procedure returns (for most messages TRUE/FALSE).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

    void EndDialog(int result);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    int m_templateId;
    HWND m_hwnd = nullptr;
};

#endif
