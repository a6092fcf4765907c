// The window side of the install: templates, icon, labels, timer and the
// refusal to close. The states themselves are in InstallSequence.cpp.
#include "app/AutoUpdateDlg.h"

#include "messages/Messages.h"
#include "app/SetupResources.h"
#include "platform/MessageBox.h"

CAutoUpdateDlg::CAutoUpdateDlg() : ModalDialog(LocalControlId(IDD_AUTOUPDATE_DIALOG))
{
    m_hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CAutoUpdateDlg::CAutoUpdateDlg(std::function<void(SequenceWindow&)> job) : CAutoUpdateDlg()
{
    m_job = std::move(job);
}

CAutoUpdateDlg::~CAutoUpdateDlg() = default;

bool CAutoUpdateDlg::OnInitDialog()
{
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetMessageOwner(Handle());
    allowClose = 0;
    SetTimer(Handle(), kSequenceTimer, kSequencePeriodMs, nullptr);
    return true;
}

void CAutoUpdateDlg::OnOK()
{
    if (allowClose)
        EndDialog(IDOK);
}

void CAutoUpdateDlg::OnCancel()
{
    if (allowClose)
        EndDialog(IDCANCEL);
}

bool CAutoUpdateDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR* result)
{
    switch (message) {
    case WM_TIMER:
        if (wParam != kSequenceTimer)
            return false;
        // A tick already queued when the sequence closed the dialog must not
        // run another state, nor may a tick that arrives inside a state's
        // message box (a nested message loop) start a state again.
        if (!allowClose && !m_stepRunning) {
            m_stepRunning = true;
            if (m_job) {
                StopTimer();
                m_job(*this);
                CloseDialog();
            } else {
                m_sequence.Tick();
            }
            m_stepRunning = false;
        }
        *result = TRUE;
        return true;
    case WM_PAINT:
        if (!IsIconic(Handle()))
            return false;
        PaintMinimized();
        *result = TRUE;
        return true;
    case WM_QUERYDRAGICON:
        *result = reinterpret_cast<INT_PTR>(m_hIcon);
        return true;
    case WM_DESTROY:
        SetMessageOwner(nullptr);
        return false;
    default:
        return false;
    }
}

void CAutoUpdateDlg::PaintMinimized()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    SendMessageA(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT rect;
    GetClientRect(Handle(), &rect);
    int x = (rect.right - rect.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rect.bottom - rect.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(Handle(), &ps);
}

void CAutoUpdateDlg::ShowStepLabel(int chineseControlId)
{
    HWND label = GetDlgItem(Handle(), LocalControlId(chineseControlId));
    if (!label)
        return;
    ShowWindow(label, SW_SHOW);
    RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CAutoUpdateDlg::ShowStep(InstallStep step)
{
    // The labels' identifiers run in the order of the steps.
    ShowStepLabel(IDC_STEP_WAIT_CONTROL + static_cast<int>(step));
}

int CAutoUpdateDlg::ShowMessage(const std::string& text, unsigned type, MessagePurpose)
{
    return ShowMessageBox(text, type);
}

void CAutoUpdateDlg::StopTimer()
{
    if (Handle())
        KillTimer(Handle(), kSequenceTimer);
}

void CAutoUpdateDlg::StartTimer()
{
    // Once the sequence has closed the dialog no state may run again.
    if (Handle() && !allowClose)
        SetTimer(Handle(), kSequenceTimer, kSequencePeriodMs, nullptr);
}

void CAutoUpdateDlg::CloseDialog()
{
    allowClose = 1;
    OnCancel();
}
