#include "platform/ModalDialog.h"

#ifdef _WIN32

ModalDialog::ModalDialog(int templateId) : m_templateId(templateId) {}

ModalDialog::~ModalDialog() = default;

INT_PTR ModalDialog::DoModal(HWND parent)
{
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), parent, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

bool ModalDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

void ModalDialog::EndDialog(int result)
{
    if (m_hwnd)
        ::EndDialog(m_hwnd, result);
}

INT_PTR CALLBACK ModalDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ModalDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<ModalDialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        self->m_hwnd = hwnd;
        return self->OnInitDialog() ? TRUE : FALSE;
    }
    self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!self)
        return FALSE;
    if (message == WM_COMMAND) {
        if (LOWORD(wParam) == IDOK) {
            self->OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            self->OnCancel();
            return TRUE;
        }
    }
    INT_PTR result = FALSE;
    bool handled = self->OnMessage(message, wParam, lParam, &result);
    if (message == WM_NCDESTROY)
        self->m_hwnd = nullptr;
    return handled ? result : FALSE;
}

#endif
