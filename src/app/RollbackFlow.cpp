#include "app/RollbackFlow.h"

#include "app/CommandLine.h"
#include "app/ControllerOperations.h"
#include "app/ExitCodes.h"
#include "app/SilentWindow.h"
#include "release/KeptRelease.h"
#include "release/ReleaseSwap.h"
#include "logs/SetupLog.h"
#include "messages/InstallPort.h"
#include "messages/Messages.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"

namespace {
// The flow's boxes: shown, or under /S answered by their purpose and written
// to the setup log.
class RollbackPort : public InstallPort {
public:
    explicit RollbackPort(bool silent) : m_silent(silent) {}
    void ShowStep(InstallStep) override {}
    int ShowMessage(const std::string& text, unsigned type, MessagePurpose purpose) override
    {
        if (!m_silent)
            return ShowMessageBox(text, type);
        int answer = SilentAnswer(purpose, type, true);
        RecordSilentMessage(text, type, answer, purpose);
        return answer;
    }

private:
    bool m_silent;
};

// False when the run ends before anything changed (the control program
// still runs: /S after /WAIT, or Cancel).
bool WaitForControlProgram(ControllerOperations& machine, const SetupOptions& options, InstallPort& port)
{
    if (options.silent) {
        if (machine.ControlProgramGoneWithin(options.waitSeconds))
            return true;
        TellSilently("静默安装：控制程序在" + std::to_string(options.waitSeconds) + "秒后仍在运行，没有做任何更改");
        return false;
    }
    while (machine.ControlProgramRunning())
        if (port.ShowMessage(LocalText(MsgRollbackControlRunning), MB_OKCANCEL | MB_ICONEXCLAMATION,
                             MessagePurpose::notice) != IDOK)
            return false;
    return true;
}
} // namespace

int RunRollback(const SetupOptions& options)
{
    ControllerOperations machine;
    RollbackPort silentOrShown(options.silent);
    InstallPort& port = silentOrShown;
    WriteLogLine("回退到保留的上一版本");
    if (!WaitForControlProgram(machine, options, port))
        return options.silent ? kExitTryAgainLater : kExitCancelled;

    // What a run cut short left is settled as at any start; a swap it
    // finished was this very wish.
    if (machine.UnfinishedRunFound()) {
        RecoveryOutcome recovery = machine.RecoverUnfinishedRun();
        if (recovery.kind == RecoveryOutcome::swapFinished) {
            port.ShowMessage(LocalText(MsgRollbackFinishedBefore), MB_OK | MB_ICONINFORMATION, MessagePurpose::notice);
            return kExitSuccess;
        }
        if (recovery.kind == RecoveryOutcome::notRestored || recovery.kind == RecoveryOutcome::unreadable) {
            const MessagePair& what = RecoveryFailureMessage(recovery);
            port.ShowMessage(StrPrintf(LocalText(what), recovery.detail.c_str()), MB_OK | MB_ICONERROR);
            return kExitNotRestored;
        }
    }

    KeptRecord record;
    std::string problem;
    switch (ReadKeptRecord(&record, &problem)) {
    case KeptReading::none:
        WriteLogLine("没有保留的上一版本，没有做任何更改");
        port.ShowMessage(LocalText(MsgRollbackNothingKept), MB_OK | MB_ICONEXCLAMATION);
        return kExitNothingKept;
    case KeptReading::damaged:
        WriteLogLine("保留版本的记录无法读取，没有做任何更改：" + problem);
        port.ShowMessage(StrPrintf(LocalText(MsgRollbackRecordUnreadable), problem.c_str()), MB_OK | MB_ICONERROR);
        return kExitNotRestored;
    case KeptReading::ok:
        break;
    }
    // Kept directories deleted by hand, wholly or in part: nothing to go back to.
    std::vector<std::string> missing = MissingKeptDirectories(record);
    if (!missing.empty()) {
        WriteLogLine("保留的版本不完整，没有做任何更改：" + JoinLines(missing));
        port.ShowMessage(StrPrintf(LocalText(MsgRollbackKeptIncomplete), JoinLines(missing).c_str()),
                         MB_OK | MB_ICONERROR);
        return kExitRollbackNotDone;
    }
    const MessagePair& question = record.keptIsOlder ? MsgRollbackToOlder : MsgRollbackToNewer;
    if (port.ShowMessage(StrPrintf(LocalText(question), record.when.c_str(), record.setupFile.c_str()),
                         MB_OKCANCEL | MB_ICONQUESTION, MessagePurpose::goBack) != IDOK) {
        WriteLogLine("回退已取消，没有做任何更改");
        return kExitCancelled;
    }

    SwapOutcome swap = SwapWithKeptRelease(record);
    switch (swap.kind) {
    case SwapOutcome::swapped:
        port.ShowMessage(LocalText(MsgRollbackDone), MB_OK | MB_ICONINFORMATION, MessagePurpose::notice);
        return kExitSuccess;
    case SwapOutcome::undone:
        port.ShowMessage(StrPrintf(LocalText(MsgRollbackNotDone), JoinLines(swap.notMoved).c_str()), MB_OK | MB_ICONERROR);
        return kExitRollbackNotDone;
    default:
        port.ShowMessage(StrPrintf(LocalText(MsgRollbackNotWhole), JoinLines(swap.notMoved).c_str()), MB_OK | MB_ICONERROR);
        return kExitNotRestored;
    }
}
