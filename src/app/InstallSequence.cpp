#include "app/InstallSequence.h"

#include <algorithm>

#include "app/ExitCodes.h"
#include "app/InstallOperations.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "messages/Messages.h"
#include "platform/MessageBox.h"
#include "platform/StringUtil.h"

namespace {
constexpr std::optional<InstallStep> kNoLabel;

// A box's text on one line of the setup log.
std::string OneLine(std::string text)
{
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// The Chinese text of a pair with one "%s", for the setup log whatever the
// language of the boxes.
std::string LogText(const MessagePair& pair, const std::string& arg)
{
    return OneLine(StrPrintf(pair.text[kLanguageChinese], arg.c_str()));
}
} // namespace

// In the order the states run. Labels that depend on what a state finds (the
// transfer's, the final one) are shown by the state itself.
const InstallSequence::Row InstallSequence::kTable[] = {
    // number, name, label, timer policy, work, the states it may go on to
    {WaitControlExit, "WaitControlExit", InstallStep::WaitControl, Timer::waits, &InstallSequence::RunWaitControlExit, {WaitControlExit, ConfirmWipe, None}},
    {ConfirmWipe, "ConfirmWipe", InstallStep::Start, Timer::runsOnce, &InstallSequence::RunConfirmWipe, {CollectInfo, Closed, None}},
    {CollectInfo, "CollectInfo", kNoLabel, Timer::runsOnce, &InstallSequence::RunCollectInfo, {SaveFiles, ClearOld, Closed}},
    {SaveFiles, "SaveFiles", kNoLabel, Timer::runsOnce, &InstallSequence::RunSaveFiles, {ClearOld, None, None}},
    {ClearOld, "ClearOld", kNoLabel, Timer::runsOnce, &InstallSequence::RunClearOld, {Extract, Closed, None}},
    {Extract, "Extract", InstallStep::CopyFiles, Timer::runsOnce, &InstallSequence::RunExtract, {Extract, CopySystem, Closed}},
    {CopySystem, "CopySystem", kNoLabel, Timer::runsOnce, &InstallSequence::RunCopySystem, {NoOpStep, None, None}},
    {NoOpStep, "NoOpStep", kNoLabel, Timer::runsOnce, &InstallSequence::RunNoOpStep, {WriteLanguage, None, None}},
    {WriteLanguage, "WriteLanguage", InstallStep::CopyOther, Timer::runsOnce, &InstallSequence::RunWriteLanguage, {Drivers, None, None}},
    {Drivers, "Drivers", kNoLabel, Timer::runsOnce, &InstallSequence::RunDrivers, {Transfer, None, None}},
    {Transfer, "Transfer", kNoLabel, Timer::runsOnce, &InstallSequence::RunTransfer, {RestoreFiles, PostInstall, Finish}},
    {RestoreFiles, "RestoreFiles", kNoLabel, Timer::runsOnce, &InstallSequence::RunRestoreFiles, {PostInstall, None, None}},
    {PostInstall, "PostInstall", kNoLabel, Timer::runsOnce, &InstallSequence::RunPostInstall, {Finish, None, None}},
    {Finish, "Finish", kNoLabel, Timer::waits, &InstallSequence::RunFinish, {Finish, Closed, None}},
};
const size_t InstallSequence::kStateCount = sizeof kTable / sizeof kTable[0];

InstallSequence::InstallSequence(SequenceWindow& window, InstallOperations& machine)
    : params(window), m_window(window), m_machine(machine)
{
    m_machine.PrepareSession(params);
}

void InstallSequence::Tick()
{
    const Row* row = nullptr;
    for (const Row& candidate : kTable)
        if (candidate.number == state)
            row = &candidate;
    if (!row) {
        TraceMessage("|E|invalid state %d", static_cast<int>(state));
        EndAsInvalid();
        return;
    }
    // One trace record per state entered; the waiting states repeat silently.
    began = true;
    if (m_lastTracedState != state) {
        m_lastTracedState = state;
        TraceMessage("|S|state %d %s", static_cast<int>(row->number), row->name);
    }
    if (row->label)
        m_window.ShowStep(*row->label);
    if (row->timer == Timer::runsOnce)
        m_window.StopTimer();
    State next = (this->*row->run)();
    if (std::find(row->next.begin(), row->next.end(), next) == row->next.end() || next == None) {
        // Even a state of the table: running it would leave the table's order.
        TraceMessage("|E|state %d went on to %d", static_cast<int>(state), static_cast<int>(next));
        EndAsInvalid();
        return;
    }
    if (next == Closed) {
        ended = true;
        m_window.StopTimer();
        m_window.Close();
        return;
    }
    state = next;
    if (row->timer == Timer::runsOnce)
        m_window.StartTimer();
}

InstallSequence::State InstallSequence::Stop(int code, const std::string& reason)
{
    WriteLogLine("安装停止（退出代码 " + std::to_string(code) + "）：" + reason);
    exitCode = code;
    return Closed;
}

void InstallSequence::EndAsInvalid()
{
    WriteLogLine(std::string("安装停止：") + kTextInvalidState + "（安装步骤的顺序出错）");
    state = Finish;
    exitCode = kExitNotRestored;
    ended = true;
    m_window.StopTimer();
    m_window.ShowMessage(kTextInvalidState, MB_OK);
    m_window.Close();
}

// 0: wait until the control program has released its instance mutex.
InstallSequence::State InstallSequence::RunWaitControlExit()
{
    return m_machine.ControlProgramRunning() ? WaitControlExit : ConfirmWipe;
}

// 1: undo a run that a power cut or a kill left half done, refuse a setup
// file that can never install and a setup.cfg whose Path leaves the product
// trees, then warn about the wipe.
InstallSequence::State InstallSequence::RunConfirmWipe()
{
    // The machine's values are carried as if the cut had never happened: the
    // previous release and its data are back before they are looked at.
    if (m_machine.UnfinishedRunFound()) {
        RecoveryOutcome recovery = m_machine.RecoverUnfinishedRun();
        // A machine that is not whole again, or a journal that cannot be
        // trusted, must not be built on: nothing else changes.
        if (recovery.kind == RecoveryOutcome::notRestored || recovery.kind == RecoveryOutcome::unreadable) {
            const MessagePair& what = RecoveryFailureMessage(recovery);
            m_window.ShowMessage(StrPrintf(LocalText(what), recovery.detail.c_str()), MB_OK | MB_ICONERROR);
            return Stop(kExitNotRestored, LogText(what, recovery.detail));
        }
        if (recovery.kind == RecoveryOutcome::restored)
            m_window.ShowMessage(LocalText(MsgUnfinishedRun), MB_OK | MB_ICONEXCLAMATION, MessagePurpose::notice);
    }
    // Checked before anything is deleted: a damaged setup file would wipe the
    // old installation and then fail in state 6 for ever.
    std::string problem = m_machine.SetupFileProblem();
    if (!problem.empty()) {
        m_window.ShowMessage(problem, MB_OK);
        if (problem == kTextBadSignature) {
            std::string cause = m_machine.SetupFileDamage();
            if (cause.empty())
                cause = "安装文件的内容与它记录的MD5摘要不符（复制不完整或已损坏）";
            return Stop(kExitSetupFileUnusable,
                        "Bad Signature：" + cause + "。没有做任何更改；请重新复制安装文件后再运行。");
        }
        return Stop(kExitSetupFileUnusable, "无法读取安装文件，没有做任何更改：" + OneLine(problem));
    }
    // A Path in setup.cfg that would lead the save and the wipe out of the
    // product's own trees ends the run before anything changes.
    std::string refusal = m_machine.ProductTreeRefusal();
    if (!refusal.empty()) {
        m_window.ShowMessage(refusal, MB_OK);
        return Stop(kExitServiceCase, OneLine(refusal));
    }
    // The same release again (an engine's retry, a file started twice)
    // changes nothing unless asked to: a reinstall carries the machine's
    // values from its amend files, but nothing is gained by it: No is the
    // default, so that a reflexive Enter changes nothing.
    std::string name;
    std::string installedAt = m_machine.SameReleaseInstalledAt(&name);
    if (name.empty())
        name = LocalText(MsgReleaseNameUnknown);
    if (!installedAt.empty() &&
        m_window.ShowMessage(StrPrintf(LocalText(MsgSameRelease), name.c_str(), installedAt.c_str()),
                             MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, MessagePurpose::sameRelease) != IDYES) {
        WriteLogLine("此版本已经安装，没有做任何更改");
        changedNothing = true;
        exitCode = kExitSuccess;
        return Closed;
    }
    std::string root = m_machine.InstallRootLongPath();
    if (!root.empty() && m_window.ShowMessage(StrPrintf(LocalText(MsgWipeWarning), root.c_str()),
                                              MB_OKCANCEL | MB_ICONEXCLAMATION,
                                              MessagePurpose::wipeWarning) == IDCANCEL)
        return Stop(kExitCancelled, "删除警告中选择了<取消>，没有做任何更改");
    return CollectInfo;
}

// 2: find the configurations and ask whether their parameters are kept.
InstallSequence::State InstallSequence::RunCollectInfo()
{
    if (!m_machine.CollectParameterInfo(params))
        return Stop(kExitCancelled, "部分配置的参数无法保留，选择了<取消>，没有做任何更改");
    return params.transferRequested ? SaveFiles : ClearOld;
}

// 3: nothing to copy: the operator's files never move, and the release's
// share of the data tree is set aside by renames in state 5.
InstallSequence::State InstallSequence::RunSaveFiles() { return ClearOld; }

// 5: set the old installation and the shortcuts aside. A journal that
// cannot be written ends the run with what was moved put back.
InstallSequence::State InstallSequence::RunClearOld()
{
    ClearOutcome outcome = m_machine.ClearOldRelease(m_window);
    m_heldInDataTree = outcome.heldInDataTree;
    if (outcome.journalWritten)
        return Extract;
    if (outcome.restored) {
        m_window.ShowMessage(StrPrintf(LocalText(MsgJournalUnwritable), outcome.journal.c_str(), outcome.drive.c_str()),
                             MB_OK | MB_ICONERROR);
        return Stop(kExitServiceCase, "安装记录无法写入（" + outcome.journal + "），原来的版本保持不变");
    }
    m_window.ShowMessage(LocalText(MsgPreviousNotRestored), MB_OK | MB_ICONERROR);
    return Stop(kExitNotRestored, "安装记录无法写入（" + outcome.journal + "），原来的版本未能完全恢复");
}

// 6: check and run the package. A package that fails asks: Retry runs it
// again, Cancel puts the previous release back and ends the setup.
InstallSequence::State InstallSequence::RunExtract()
{
    PackageOutcome outcome = m_machine.ExtractPackage();
    if (outcome.kind == PackageOutcome::ran)
        return CopySystem;
    // A release whose Path would lead the later steps out of the product
    // trees is never run on: the package would lay the same again.
    if (outcome.kind == PackageOutcome::pathRefused) {
        bool back = m_machine.PutPreviousReleaseBack();
        m_window.ShowMessage(outcome.report + "\n" + LocalText(back ? MsgPreviousRestored : MsgPreviousNotRestored),
                             MB_OK | MB_ICONERROR);
        return Stop(back ? kExitRestored : kExitNotRestored,
                    "新版本的 setup.cfg 中的 Path 不能使用，" +
                        OneLine((back ? MsgPreviousRestored : MsgPreviousNotRestored).text[kLanguageChinese]));
    }
    // What stopped it first (a damaged setup file, a file error, a program
    // that cannot start), then the question.
    if (!outcome.report.empty())
        m_window.ShowMessage(outcome.report, MB_OK | MB_ICONEXCLAMATION);
    const MessagePair* what = &MsgPackageRejected;
    if (outcome.kind == PackageOutcome::notStarted)
        what = &MsgPackageNotStarted;
    else if (outcome.kind == PackageOutcome::failedExit)
        what = &MsgPackageExitCode;
    else if (outcome.kind == PackageOutcome::noProductDir)
        what = &MsgPackageNoProduct;
    std::string code = outcome.kind == PackageOutcome::failedExit ? std::to_string(outcome.exitCode) : "-";
    TraceMessage("|E|Extract: %s (exit code %s)", what->text[1], code.c_str());
    if (m_window.ShowMessage(StrPrintf(LocalText(MsgPackageFailed), LocalText(*what), code.c_str()),
                             MB_RETRYCANCEL | MB_ICONEXCLAMATION, MessagePurpose::packageFailed) == IDRETRY)
        return Extract;
    bool back = m_machine.PutPreviousReleaseBack();
    m_window.ShowMessage(LocalText(back ? MsgPreviousRestored : MsgPreviousNotRestored), MB_OK | MB_ICONEXCLAMATION);
    std::string why = std::string(what->text[kLanguageChinese]) + "，退出代码 " + code;
    if (!outcome.report.empty())
        why += "：" + OneLine(outcome.report) + (outcome.cause.empty() ? "" : "（" + outcome.cause + "）");
    return Stop(back ? kExitRestored : kExitNotRestored,
                "安装包运行失败（" + why + "），选择了<取消>；" +
                    OneLine((back ? MsgPreviousRestored : MsgPreviousNotRestored).text[kLanguageChinese]));
}

// 7: system files of the release.
InstallSequence::State InstallSequence::RunCopySystem()
{
    m_machine.CopySystemFiles();
    return NoOpStep;
}

// 8: no work; one period's pause.
InstallSequence::State InstallSequence::RunNoOpStep() { return WriteLanguage; }

// 10: the active language of the installed control program.
InstallSequence::State InstallSequence::RunWriteLanguage()
{
    m_machine.WriteActiveLanguage();
    return Drivers;
}

// 12: the product's kernel driver files.
InstallSequence::State InstallSequence::RunDrivers()
{
    m_machine.InstallDrivers(m_window);
    return Transfer;
}

// 15: purge the old data files, then bring the user configuration or the
// saved parameters into the new release.
InstallSequence::State InstallSequence::RunTransfer()
{
    bool packup = m_machine.PackupSet();
    m_machine.PurgeConfigData(params);
    if (!params.transferRequested || packup)
        m_machine.RestoreUserConfig(params);
    if (params.transferRequested) {
        m_window.ShowStep(InstallStep::Transfer);
        m_machine.TransferParameters(params);
        m_machine.PurgeConfigData(params);
        m_machine.RemoveReleaseUserTree();
    }
    if (packup)
        return Finish;
    return params.transferRequested ? RestoreFiles : PostInstall;
}

// 9: the old release's laid files set aside in state 5 come back, without
// the machine's old parameter files.
InstallSequence::State InstallSequence::RunRestoreFiles()
{
    m_savedFilesAway = !m_machine.RestoreSavedFiles(m_window);
    return PostInstall;
}

// 16: network batch, then the write-filter notices or the driver installer.
InstallSequence::State InstallSequence::RunPostInstall()
{
    m_machine.RunPostInstallActions(m_window);
    return Finish;
}

// 20: wait for the driver installer, then the final message. A write-filter
// system ends without it: FirstRun takes over after the reboot. The run ends
// with exit code 1 when the user went on without some configurations' values.
InstallSequence::State InstallSequence::RunFinish()
{
    // The new release is in place and the values are carried: the previous
    // release is no longer needed to fall back on.
    if (!m_previousDiscarded) {
        m_previousDiscarded = true;
        std::string away = m_machine.DiscardPreviousRelease();
        if (!away.empty() && !m_savedFilesAway)
            m_window.ShowMessage(away, MB_OK | MB_ICONEXCLAMATION, MessagePurpose::report);
        // An operator's file away from where it was saved: never "done",
        // with the values carried or not.
        if ((m_savedFilesAway || !away.empty()) && exitCode == kExitSuccess)
            exitCode = kExitIncomplete;
        // A release's file held open kept its old version: the release is
        // not whole until a run with the file free.
        if (!m_heldInDataTree.empty()) {
            std::string list;
            for (const std::string& path : m_heldInDataTree)
                list += (list.empty() ? "" : "\n") + path;
            m_window.ShowMessage(StrPrintf(LocalText(MsgReleaseFilesHeld), list.c_str()), MB_OK | MB_ICONEXCLAMATION,
                                 MessagePurpose::report);
            if (exitCode == kExitSuccess)
                exitCode = kExitIncomplete;
        }
    }
    // In place, but the user went on without some configurations' values.
    if (params.valuesNotCarried)
        exitCode = kExitNotCarried;
    if (m_machine.WriteFilterSystem()) {
        // Whole, but only the restart that commits the volume completes it.
        if (exitCode == kExitSuccess)
            exitCode = kExitRestartCompletes;
        return Closed;
    }
    if (m_machine.DriverInstallerRunning())
        return Finish;
    m_window.StopTimer();
    m_window.ShowStep(InstallStep::Finished);
    m_window.ShowMessage(LocalText(MsgInstallSuccess), MB_OK, MessagePurpose::notice);
    return Closed;
}
