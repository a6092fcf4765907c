#include "app/RollbackFlow.h"

#include "app/AutoUpdateDlg.h"
#include "app/CommandLine.h"
#include "app/ControllerOperations.h"
#include "app/ExitCodes.h"
#include "app/SilentWindow.h"
#include "release/KeptRelease.h"
#include "release/ReleaseSwap.h"
#include "release/RunState.h"
#include "logs/SetupLog.h"
#include "messages/InstallPort.h"
#include "messages/Messages.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"

#include <algorithm>
#include <memory>

namespace {
// Under /S the flow's boxes are answered by their purpose and written to the
// setup log; the window shows them itself.
class SilentRollbackPort : public InstallPort {
public:
    void ShowStep(InstallStep) override {}
    int ShowMessage(const std::string& text, unsigned type, MessagePurpose purpose) override
    {
        int answer = SilentAnswer(purpose, type, true);
        RecordSilentMessage(text, type, answer, purpose);
        return answer;
    }
};

std::string OneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// A release as the operator knows it: its name and when it was installed.
struct NamedRelease {
    std::string name, time;
};
NamedRelease Named(const ReleaseFields& fields, const std::string& timeOfRecord)
{
    NamedRelease release{fields.release, fields.time};
    // The run state's word for a release installed before it named them.
    if (release.name.empty() || release.name == "unknown")
        release.name = LocalText(MsgReleaseNameUnknown);
    if (release.time.empty())
        release.time = timeOfRecord.empty() ? "-" : timeOfRecord;
    return release;
}

// The pair with the kept release's name and time, then the current one's.
std::string ReleasesText(const MessagePair& pair, int lang, const NamedRelease& first, const NamedRelease& second)
{
    return StrPrintf(pair.text[lang], first.name.c_str(), first.time.c_str(), second.name.c_str(),
                     second.time.c_str());
}

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
// The flow itself, through a window or silently.
int GoBack(const SetupOptions& options, InstallPort& port)
{
    ControllerOperations machine;
    port.ShowStep(InstallStep::WaitControl);
    if (!WaitForControlProgram(machine, options, port)) {
        WriteLogLine("控制程序仍在运行，回退没有开始，没有做任何更改");
        return options.silent ? kExitTryAgainLater : kExitCancelled;
    }

    // What a run cut short left is settled as at any start; a swap it
    // finished was this very wish.
    if (machine.UnfinishedRunFound()) {
        RecoveryOutcome recovery = machine.RecoverUnfinishedRun();
        if (recovery.kind == RecoveryOutcome::swapFinished) {
            WriteLogLine("上次回退没有完成，现已完成");
            port.ShowMessage(LocalText(MsgRollbackFinishedBefore), MB_OK | MB_ICONINFORMATION, MessagePurpose::notice);
            return kExitSuccess;
        }
        if (recovery.kind == RecoveryOutcome::notRestored || recovery.kind == RecoveryOutcome::unreadable) {
            const MessagePair& what = RecoveryFailureMessage(recovery);
            WriteLogLine("回退停止：" + OneLine(StrPrintf(what.text[kLanguageChinese], recovery.detail.c_str())));
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
    // Where the run state has no time: the update between the two releases
    // installed the newer one then, and the older one was there before it.
    std::string before = record.when.empty() ? std::string() : StrPrintf(LocalText(MsgInstalledBefore), record.when.c_str());
    NamedRelease kept = Named(KeptReleaseOfState(), record.keptIsOlder ? before : record.when);
    NamedRelease current = Named(InstalledReleaseOfState(), record.keptIsOlder ? record.when : before);
    const MessagePair& question = record.keptIsOlder ? MsgRollbackToOlder : MsgRollbackToNewer;
    WriteLogLine((record.keptIsOlder ? "回到较早的版本 " : "前进到较新的版本 ") + kept.name + "（安装于" + kept.time +
                 "），当前的版本 " + current.name + "（安装于" + current.time + "）");
    if (port.ShowMessage(ReleasesText(question, language == kLanguageEnglish, kept, current),
                         MB_YESNO | MB_ICONQUESTION, MessagePurpose::goBack) != IDYES) {
        WriteLogLine("回退已取消，没有做任何更改");
        return kExitCancelled;
    }

    port.ShowStep(InstallStep::Start);
    SwapOutcome swap = SwapWithKeptRelease(record, &port);
    switch (swap.kind) {
    case SwapOutcome::swapped: {
        const MessagePair& done = record.keptIsOlder ? MsgRollbackDoneOlder : MsgRollbackDoneNewer;
        WriteLogLine(OneLine(ReleasesText(done, kLanguageChinese, kept, current)));
        port.ShowStep(InstallStep::Finished);
        port.ShowMessage(ReleasesText(done, language == kLanguageEnglish, kept, current), MB_OK | MB_ICONINFORMATION,
                         MessagePurpose::notice);
        return kExitSuccess;
    }
    case SwapOutcome::undone:
        WriteLogLine("回退停止，当前版本保持不变；无法移动：" + JoinLines(swap.notMoved));
        port.ShowMessage(StrPrintf(LocalText(MsgRollbackNotDone), JoinLines(swap.notMoved).c_str()), MB_OK | MB_ICONERROR);
        return kExitRollbackNotDone;
    default:
        WriteLogLine("回退没有完成，下次启动安装程序时继续；无法移动：" + JoinLines(swap.notMoved));
        port.ShowMessage(StrPrintf(LocalText(MsgRollbackNotWhole), JoinLines(swap.notMoved).c_str()), MB_OK | MB_ICONERROR);
        return kExitNotRestored;
    }
}
} // namespace

int RunRollback(const SetupOptions& options)
{
    WriteLogLine("回退到保留的上一版本");
    if (options.silent) {
        SilentRollbackPort port;
        return GoBack(options, port);
    }
    // The progress window of an update, its labels showing the swap's steps.
    int code = kExitCancelled;
    bool ran = false;
    auto dialog = std::make_unique<CAutoUpdateDlg>([&](SequenceWindow& window) {
        ran = true;
        code = GoBack(options, window);
    });
    dialog->DoModal(nullptr);
    if (!ran)
        WriteLogLine("回退窗口无法打开，没有做任何更改");
    return code;
}
