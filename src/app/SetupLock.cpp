#include "app/SetupLock.h"

#include <algorithm>
#include <string>

#include "app/CommandLine.h"
#include "app/SilentOutput.h"
#include "logs/SetupLog.h"
#include "messages/Messages.h"
#include "platform/MessageBox.h"
#include "platform/NamedMutex.h"
#include "platform/Process.h"

namespace {
// Not the control program's mutex: that one is held by the setup while it
// updates, and a second setup waiting for it would blame the control program.
const char kSetupMutexName[] = "Global\\TornelixSetup{6C1F0B52-3E8A-4D17-9B40-27A5D3E9C814}";

bool Owned(MutexTake take) { return take == MutexTake::taken || take == MutexTake::abandoned; }

void Say(const SetupOptions& options, const std::string& line)
{
    if (options.silent)
        TellSilently(line);
    else
        WriteLogLine(line);
}

void SayTaken(const SetupOptions& options, MutexTake take, bool waited)
{
    // The setup before ended without letting go (killed, power lost): what it
    // left is settled by the start-up like any cut run.
    if (take == MutexTake::abandoned)
        Say(options, "上一个安装程序没有正常结束，继续");
    else if (waited)
        Say(options, "另一个安装程序已结束，继续");
}
} // namespace

bool SetupLock::Take(const SetupOptions& options)
{
    MutexTake take = TakeNamedMutex(kSetupMutexName, 0, &m_handle);
    if (Owned(take)) {
        SayTaken(options, take, false);
        return true;
    }
    const unsigned long long limit = options.silent ? options.waitSeconds * 1000ull : 0;
    Say(options, options.silent ? "另一个安装程序正在运行，等待它结束（最多" + std::to_string(options.waitSeconds) + "秒）"
                                : std::string("另一个安装程序正在运行，等待它结束"));
    const unsigned long long start = ElapsedMilliseconds();
    for (;;) {
        unsigned waitMs = 0;
        if (options.silent) {
            unsigned long long waited = ElapsedMilliseconds() - start;
            if (waited >= limit) {
                Say(options, "静默安装：另一个安装程序在" + std::to_string(options.waitSeconds) +
                                 "秒后仍在运行（互斥体 " + kSetupMutexName + "），没有做任何更改，现在退出。");
                return false;
            }
            waitMs = static_cast<unsigned>(std::min<unsigned long long>(limit - waited, 1000));
        } else if (ShowMessageBox(LocalText(MsgOtherSetupRunning), MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY) {
            Say(options, std::string("另一个安装程序正在运行，用户取消，没有做任何更改（互斥体 ") + kSetupMutexName + "）");
            return false;
        }
        take = TakeNamedMutex(kSetupMutexName, waitMs, &m_handle);
        if (Owned(take)) {
            SayTaken(options, take, true);
            return true;
        }
        // Denied or not made: held by a setup under other rights; looked at
        // again after a pause rather than in a tight loop.
        if (take == MutexTake::failed && options.silent)
            SleepMilliseconds(500);
    }
}

void SetupLock::Release()
{
    ReleaseNamedMutex(m_handle);
    m_handle = nullptr;
}
