#include "app/SilentWindow.h"

#include "app/ExitCodes.h"
#include "logs/TraceLog.h"
#include "messages/Messages.h"
#include "platform/Console.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace {
const char* AnswerName(int answer)
{
    switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "CANCEL";
    case IDYES: return "YES";
    case IDNO: return "NO";
    case IDRETRY: return "RETRY";
    default: return "?";
    }
}
} // namespace

namespace {
// Since the silent run began: a report was written or a held file kept its
// old version. Process-wide, as a log's failure is reported outside the
// window.
bool g_notWhole = false;
} // namespace

int SilentAnswer(MessagePurpose purpose, unsigned type, bool keepParameters, bool goOnWithoutValues, bool reinstall)
{
    switch (purpose) {
    case MessagePurpose::sameRelease:
        return reinstall ? IDYES : IDNO;
    case MessagePurpose::wipeWarning:
        return IDOK;
    case MessagePurpose::goBack:
        return IDYES;
    case MessagePurpose::notCarried:
        // A machine's values are not given up with nobody asked.
        return goOnWithoutValues ? IDOK : IDCANCEL;
    case MessagePurpose::keepParameters:
        return keepParameters ? IDYES : IDNO;
    case MessagePurpose::fileInUse:
    case MessagePurpose::packageFailed:
        return IDCANCEL;
    case MessagePurpose::report:
    case MessagePurpose::notice:
    case MessagePurpose::summary:
        break;
    }
    switch (type & 0x0F) {
    case MB_OK:
    case MB_OKCANCEL:
        return IDOK;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDNO;
    default:
        return IDCANCEL;
    }
}

void RecordSilentMessage(const std::string& text, unsigned type, int answer, MessagePurpose purpose)
{
    if ((purpose == MessagePurpose::report && (type & 0x0F) == MB_OK) ||
        (purpose == MessagePurpose::fileInUse && answer == IDCANCEL))
        g_notWhole = true;
    if (purpose == MessagePurpose::summary)
        return;
    // A failure to write the log is itself reported, which would come back
    // here.
    static bool recording = false;
    if (recording)
        return;
    recording = true;
    std::string shown = text;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r'))
        shown.pop_back();
    std::string line = (type & 0x0F) == MB_OK ? "静默安装，未显示的消息：" + shown
                                             : std::string("静默安装，自动回答") + AnswerName(answer) + "：" + shown;
    TellSilently(line);
    recording = false;
}

SilentWindow::SilentWindow(InstallOperations& machine, const Settings& settings)
    : m_settings(settings), m_sequence(*this, machine)
{
    g_notWhole = false;
}

void SilentWindow::ShowStep(InstallStep step)
{
    if (static_cast<int>(step) == m_lastStep)
        return;
    m_lastStep = static_cast<int>(step);
    WriteToStarter(std::string("步骤：") + LocalText(StepLabel(step)) + "\n");
}

int SilentWindow::ShowMessage(const std::string& text, unsigned type, MessagePurpose purpose)
{
    int answer =
        SilentAnswer(purpose, type, m_settings.keepParameters, m_settings.goOnWithoutValues, m_settings.reinstall);
    if (purpose == MessagePurpose::notCarried && answer == IDCANCEL)
        m_notCarriedRefused = true;
    RecordSilentMessage(text, type, answer, purpose);
    return answer;
}

int SilentWindow::Run()
{
    const unsigned long long waitLimit = m_settings.waitSeconds * 1000ull;
    unsigned long long waitStart = ElapsedMilliseconds();
    bool finishing = false;
    while (!m_closed) {
        int32_t before = m_sequence.state;
        m_sequence.Tick();
        if (m_closed)
            break;
        // The control program still runs after the time allowed: nothing has
        // been changed yet, and nothing is.
        if (m_sequence.state == InstallSequence::WaitControlExit &&
            ElapsedMilliseconds() - waitStart >= waitLimit) {
            TraceMessage("|E|the control program still runs after %u s", m_settings.waitSeconds);
            TellSilently("静默安装：控制程序在" + std::to_string(m_settings.waitSeconds) +
                         "秒后仍在运行，安装程序没有做任何更改，现在退出。");
            m_sequence.exitCode = kExitTryAgainLater;
            break;
        }
        // The new release is in place and the previous one gone: the driver
        // installer is waited for as long, and no longer.
        if (m_sequence.state == InstallSequence::Finish && before == InstallSequence::Finish) {
            if (!finishing) {
                finishing = true;
                waitStart = ElapsedMilliseconds();
            } else if (ElapsedMilliseconds() - waitStart >= waitLimit) {
                TraceMessage("|E|the driver installer still runs after %u s", m_settings.waitSeconds);
                TellSilently("静默安装：驱动安装程序在" + std::to_string(m_settings.waitSeconds) +
                             "秒后仍在运行，新版本已安装，现在退出。");
                m_driverWaitOver = true;
                break;
            }
        }
        // A state that looks again (the control program, the driver
        // installer, a retried package) does so one period later, as under
        // the dialog's timer; the others go on at once.
        if (m_sequence.state == before)
            SleepMilliseconds(m_settings.periodMs);
    }
    // The counts for whoever started the run; the values are in the report file.
    for (const CarryReport& report : m_sequence.params.carryReports)
        WriteToStarter(CarryReportCounts(report) + "\n");
    int code = m_sequence.exitCode;
    if (m_sequence.changedNothing)
        TellSilently("静默安装：此版本已经安装，没有做任何更改（/REINSTALL 重新安装）。");
    if (code == kExitCancelled && m_notCarriedRefused) {
        TellSilently("静默安装：部分配置的参数无法保留，安装程序没有做任何更改（/GOON 不保留这些参数继续安装）。");
        return kExitValuesWouldBeLost;
    }
    // In place: the exit code must not say more than was done.
    if (code == kExitSuccess || code == kExitNotCarried || code == kExitRestartCompletes) {
        if (m_driverWaitOver)
            return kExitDriverWaitOver;
        if (g_notWhole) {
            TellSilently("静默安装：新版本已安装，但有未完成的步骤（见上面的消息）。");
            return kExitIncomplete;
        }
    }
    return code;
}
