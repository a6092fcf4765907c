#include "app/SilentWindow.h"

#include "app/ExitCodes.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
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

int SilentAnswer(MessagePurpose purpose, unsigned type, bool keepParameters)
{
    switch (purpose) {
    case MessagePurpose::wipeWarning:
    case MessagePurpose::notCarried:
        return IDOK;
    case MessagePurpose::keepParameters:
        return keepParameters ? IDYES : IDNO;
    case MessagePurpose::fileInUse:
    case MessagePurpose::packageFailed:
        return IDCANCEL;
    case MessagePurpose::report:
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

void RecordSilentMessage(const std::string& text, unsigned type, int answer)
{
    // A failure to write the log is itself reported through a box, which
    // would come back here.
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

void TellSilently(const std::string& line)
{
    WriteLogLine(line);
    WriteToStarter(line + "\n");
}

SilentWindow::SilentWindow(InstallOperations& machine, const Settings& settings)
    : m_settings(settings), m_sequence(*this, machine)
{
}

int SilentWindow::ShowMessage(const std::string& text, unsigned type, MessagePurpose purpose)
{
    int answer = SilentAnswer(purpose, type, m_settings.keepParameters);
    RecordSilentMessage(text, type, answer);
    return answer;
}

int SilentWindow::Run()
{
    const unsigned long long waitLimit = m_settings.waitSeconds * 1000ull;
    unsigned long long waitStart = ElapsedMilliseconds();
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
            m_sequence.exitCode = kExitCancelled;
            break;
        }
        // A state that looks again (the control program, the driver
        // installer, a retried package) does so one period later, as under
        // the dialog's timer; the others go on at once.
        if (m_sequence.state == before)
            SleepMilliseconds(m_settings.periodMs);
    }
    return m_sequence.exitCode;
}
