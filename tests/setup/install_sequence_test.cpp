// The install sequence's transitions without a window or a machine: a fake
// window records labels, boxes and the timer, a fake machine answers as a
// controller PC in a given situation would and records what was done.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "app/ExitCodes.h"
#include "app/InstallOperations.h"
#include "app/InstallSequence.h"
#include "logs/TraceLog.h"
#include "messages/Messages.h"
#include "platform/MessageBox.h"
#include "platform/StringUtil.h"

namespace {

class FakeWindow : public SequenceWindow {
public:
    void ShowStep(InstallStep step) override { steps.push_back(step); }
    int ShowMessage(const std::string& text, unsigned) override
    {
        boxes.push_back(text);
        if (answers.empty())
            return IDOK;
        int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void StopTimer() override { timerRunning = false; }
    void StartTimer() override { timerRunning = !closed; }
    void Close() override
    {
        closed = true;
        timerRunning = false;
    }

    std::vector<InstallStep> steps;
    std::vector<std::string> boxes;
    std::deque<int> answers;
    bool timerRunning = true;
    bool closed = false;
};

class FakeMachine : public InstallOperations {
public:
    void PrepareSession(ParameterSession&) override {}
    bool UnfinishedRunFound() override { return unfinished; }
    bool RecoverUnfinishedRun() override { return Did("recover"), true; }
    bool PutPreviousReleaseBack() override { return Did("putBack"), true; }
    void DiscardPreviousRelease() override { Did("discard"); }
    bool ControlProgramRunning() override
    {
        Did("control?");
        return controlTicks-- > 0;
    }
    std::string SetupFileProblem() override { return Did("check"), setupUsable ? "" : "Bad Signature"; }
    std::string ProductTreeRefusal() override { return std::string(); }
    std::string InstallRootLongPath() override { return installRoot; }
    bool CollectParameterInfo(ParameterSession& session) override
    {
        Did("collect");
        session.transferRequested = transferAnswer ? 1 : 0;
        return goOnAfterCollect;
    }
    bool SaveDataTree() override { return Did("save"), true; }
    void ClearOldRelease(bool, InstallPort&) override { Did("clear"); }
    ExtractOutcome ExtractPackage() override
    {
        Did("extract");
        ExtractOutcome outcome;
        if (!extractResults.empty()) {
            if (!extractResults.front()) {
                outcome.kind = ExtractOutcome::failedExit;
                outcome.exitCode = 3;
            }
            extractResults.pop_front();
        }
        return outcome;
    }
    void CopySystemFiles() override { Did("system"); }
    void RestoreSavedFiles(InstallPort&) override { Did("restore"); }
    void WriteActiveLanguage() override { Did("language"); }
    void InstallDrivers() override { Did("drivers"); }
    bool PackupSet() override { return packup; }
    void PurgeConfigData(const ParameterSession&) override { Did("purge"); }
    void RestoreUserConfig(ParameterSession&) override { Did("user"); }
    void TransferParameters(ParameterSession&) override { Did("transfer"); }
    void RemoveReleaseUserTree() override { Did("userTree"); }
    void RunPostInstallActions(InstallPort&) override { Did("post"); }
    bool WriteFilterSystem() override { return writeFilter; }
    bool DriverInstallerRunning() override { return driverTicks-- > 0; }

    int controlTicks = 0;
    bool setupUsable = true;
    std::string installRoot = "C:\\Program Files (x86)\\Velko";
    bool transferAnswer = true;
    bool goOnAfterCollect = true;
    std::deque<bool> extractResults;
    bool packup = false;
    bool writeFilter = false;
    int driverTicks = 0;
    bool unfinished = false;
    std::vector<std::string> done;

private:
    void Did(const char* what) { done.push_back(what); }
};

class Sequence : public ::testing::Test {
protected:
    // The states' trace records stay out of the bed's trace log.
    void SetUp() override { SetTraceFileEnabled(false); }
    void TearDown() override { SetTraceFileEnabled(true); }
    // Ticks until the sequence closes the window; returns the state each tick
    // ran.
    std::vector<int> Run(int maxTicks = 100)
    {
        InstallSequence sequence(window, machine);
        std::vector<int> ran;
        for (int i = 0; i < maxTicks && !window.closed; ++i) {
            ran.push_back(sequence.state);
            sequence.Tick();
        }
        EXPECT_TRUE(window.closed) << "the sequence never ended";
        sequenceExitCode = sequence.exitCode;
        return ran;
    }
    std::string Success() const { return LocalText(MsgInstallSuccess); }

    FakeWindow window;
    FakeMachine machine;
    int sequenceExitCode = -1;
};

using S = InstallSequence;

TEST_F(Sequence, WaitsForTheControlProgramWithTheTimerRunning)
{
    machine.controlTicks = 3;
    window.answers = {IDCANCEL};
    std::vector<int> ran = Run();
    EXPECT_EQ(ran, (std::vector<int>{S::WaitControlExit, S::WaitControlExit, S::WaitControlExit, S::WaitControlExit,
                                     S::ConfirmWipe}));
    EXPECT_EQ(std::vector<InstallStep>(window.steps.begin(), window.steps.begin() + 4),
              std::vector<InstallStep>(4, InstallStep::WaitControl));
}

TEST_F(Sequence, CancelAtTheWarningChangesNothing)
{
    window.answers = {IDCANCEL};
    Run();
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_NE(window.boxes[0].find(machine.installRoot), std::string::npos);
    EXPECT_EQ(machine.done, (std::vector<std::string>{"control?", "check"}));
    EXPECT_EQ(sequenceExitCode, kExitCancelled);
}

TEST_F(Sequence, ABadSetupFileEndsBeforeTheWarning)
{
    machine.setupUsable = false;
    Run();
    EXPECT_EQ(window.boxes, std::vector<std::string>{"Bad Signature"});
    EXPECT_EQ(machine.done, (std::vector<std::string>{"control?", "check"}));
}

TEST_F(Sequence, TransferYesSavesThenRestoresTheDataTree)
{
    std::vector<int> ran = Run();
    EXPECT_EQ(ran, (std::vector<int>{S::WaitControlExit, S::ConfirmWipe, S::CollectInfo, S::SaveFiles, S::ClearOld,
                                     S::Extract, S::CopySystem, S::NoOpStep, S::WriteLanguage, S::Drivers,
                                     S::Transfer, S::RestoreFiles, S::PostInstall, S::Finish}));
    EXPECT_EQ(machine.done,
              (std::vector<std::string>{"control?", "check", "collect", "save", "clear", "extract", "system",
                                        "language", "drivers", "purge", "transfer", "purge", "userTree", "restore",
                                        "post", "discard"}));
    EXPECT_EQ(window.boxes.back(), Success());
    EXPECT_EQ(sequenceExitCode, kExitSuccess);
}

TEST_F(Sequence, TransferNoBringsTheReleasesUserTreeAndSavesNothing)
{
    machine.transferAnswer = false;
    std::vector<int> ran = Run();
    EXPECT_EQ(ran, (std::vector<int>{S::WaitControlExit, S::ConfirmWipe, S::CollectInfo, S::ClearOld, S::Extract,
                                     S::CopySystem, S::NoOpStep, S::WriteLanguage, S::Drivers, S::Transfer,
                                     S::PostInstall, S::Finish}));
    EXPECT_EQ(std::count(machine.done.begin(), machine.done.end(), "user"), 1);
    EXPECT_EQ(std::count(machine.done.begin(), machine.done.end(), "save"), 0);
    EXPECT_EQ(std::count(machine.done.begin(), machine.done.end(), "transfer"), 0);
}

TEST_F(Sequence, PackupGoesFromTheTransferStraightToTheEnd)
{
    machine.packup = true;
    std::vector<int> ran = Run();
    ASSERT_GE(ran.size(), 2u);
    EXPECT_EQ(ran[ran.size() - 2], S::Transfer);
    EXPECT_EQ(ran.back(), S::Finish);
    // The release's user configuration comes in even with the values carried.
    EXPECT_EQ(std::count(machine.done.begin(), machine.done.end(), "user"), 1);
    EXPECT_EQ(std::count(machine.done.begin(), machine.done.end(), "restore"), 0);
    EXPECT_EQ(std::count(machine.done.begin(), machine.done.end(), "post"), 0);
}

TEST_F(Sequence, RetryAtAFailedExtractionRunsThePackageAgainOnTheNextTick)
{
    machine.extractResults = {false, false, true};
    window.answers = {IDOK, IDRETRY, IDRETRY};
    bool timerRunningAfterFailure = false;
    InstallSequence sequence(window, machine);
    while (!window.closed) {
        bool inExtract = sequence.state == S::Extract;
        sequence.Tick();
        if (inExtract && sequence.state == S::Extract)
            timerRunningAfterFailure = window.timerRunning;
    }
    EXPECT_EQ(std::count(machine.done.begin(), machine.done.end(), "extract"), 3);
    EXPECT_TRUE(timerRunningAfterFailure) << "a failed extraction must be tried again on a later tick";
    ASSERT_EQ(window.boxes.size(), 4u);
    EXPECT_EQ(window.boxes[1], StrPrintf(LocalText(MsgPackageFailed), LocalText(MsgPackageExitCode), "3"));
    EXPECT_EQ(window.boxes.back(), Success());
}

TEST_F(Sequence, CancelAtAFailedExtractionPutsThePreviousReleaseBack)
{
    machine.extractResults = {false};
    window.answers = {IDOK, IDCANCEL};
    std::vector<int> ran = Run();
    EXPECT_EQ(ran.back(), S::Extract);
    EXPECT_EQ(machine.done.back(), "putBack");
    EXPECT_EQ(window.boxes.back(), LocalText(MsgPreviousRestored));
    EXPECT_EQ(sequenceExitCode, kExitRestored);
}

TEST_F(Sequence, AnUnfinishedRunIsUndoneBeforeTheSetupFileIsChecked)
{
    machine.unfinished = true;
    window.answers = {IDOK, IDCANCEL};
    Run();
    EXPECT_EQ(machine.done, (std::vector<std::string>{"control?", "recover", "check"}));
    EXPECT_EQ(window.boxes[0], LocalText(MsgUnfinishedRun));
    EXPECT_EQ(sequenceExitCode, kExitCancelled);
}

TEST_F(Sequence, TheFinalMessageWaitsForTheDriverInstaller)
{
    machine.driverTicks = 2;
    std::vector<int> ran = Run();
    EXPECT_EQ(std::count(ran.begin(), ran.end(), static_cast<int>(S::Finish)), 3);
    EXPECT_EQ(window.boxes.back(), Success());
    EXPECT_EQ(window.steps.back(), InstallStep::Finished);
}

} // namespace
