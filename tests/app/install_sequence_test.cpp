// The install sequence's transitions without a window or a machine: a fake
// window records labels, boxes and the timer, a fake machine answers as a
// controller PC in a given situation would and records what was done.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/ExitCodes.h"
#include "app/InstallOperations.h"
#include "app/InstallSequence.h"
#include "app/SilentWindow.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "messages/Messages.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"

namespace {

class FakeWindow : public SequenceWindow {
public:
    void ShowStep(InstallStep step) override { steps.push_back(step); }
    int ShowMessage(const std::string& text, unsigned, MessagePurpose purpose) override
    {
        boxes.push_back(text);
        purposes.push_back(purpose);
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
    std::vector<MessagePurpose> purposes;
    std::deque<int> answers;
    bool timerRunning = true;
    bool closed = false;
};

class FakeMachine : public InstallOperations {
public:
    void PrepareSession(ParameterSession&) override {}
    bool UnfinishedRunFound() override { return unfinished; }
    RecoveryOutcome RecoverUnfinishedRun() override
    {
        Did("recover");
        return recovery;
    }
    bool PutPreviousReleaseBack() override { return Did("putBack"), true; }
    std::string DiscardPreviousRelease() override { return Did("discard"), std::string(); }
    bool ControlProgramRunning() override
    {
        Did("control?");
        return controlTicks-- > 0;
    }
    std::string SetupFileProblem() override { return Did("check"), setupUsable ? "" : "Bad Signature"; }
    std::string ProductTreeRefusal() override { return std::string(); }
    std::string SameReleaseInstalledAt(std::string* name) override { return *name = "Demo 2.0", sameReleaseAt; }
    std::string InstallRootLongPath() override { return installRoot; }
    bool CollectParameterInfo(ParameterSession& session) override
    {
        Did("collect");
        session.transferRequested = transferAnswer ? 1 : 0;
        // As the parameter step asks: whether to keep the values, then, when
        // some configurations cannot be carried, whether to go on.
        if (askThroughPort)
            session.transferRequested =
                session.ui.ShowMessage("keep?", MB_YESNO, MessagePurpose::keepParameters) == IDYES ? 1 : 0;
        if (session.transferRequested && someNotCarried) {
            if (session.ui.ShowMessage("Lathe", MB_OKCANCEL, MessagePurpose::notCarried) != IDOK)
                return false;
            session.valuesNotCarried = true;
        }
        return goOnAfterCollect;
    }
    ClearOutcome ClearOldRelease(InstallPort& port) override
    {
        Did("clear");
        ClearOutcome outcome;
        // OK tries the held file again; anything else leaves it.
        while (heldFile && port.ShowMessage("held", MB_OKCANCEL, MessagePurpose::fileInUse) == IDOK)
            Did("clear again");
        if (heldFile)
            Did("held file kept");
        return outcome;
    }
    PackageOutcome ExtractPackage() override
    {
        Did("extract");
        PackageOutcome outcome;
        if (newPathRefused) {
            outcome.kind = PackageOutcome::pathRefused;
            outcome.report = "Path=C:\\Windows\\ refused";
            return outcome;
        }
        if (!extractResults.empty()) {
            if (!extractResults.front()) {
                outcome.kind = PackageOutcome::failedExit;
                outcome.exitCode = 3;
            }
            extractResults.pop_front();
        }
        return outcome;
    }
    void CopySystemFiles() override { Did("system"); }
    bool RestoreSavedFiles(InstallPort&) override { return Did("restore"), true; }
    void WriteActiveLanguage() override { Did("language"); }
    void InstallDrivers(InstallPort&) override { Did("drivers"); }
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
    RecoveryOutcome recovery{RecoveryOutcome::restored, std::string()};
    bool askThroughPort = false;
    bool someNotCarried = false;
    bool heldFile = false;
    std::string sameReleaseAt;
    bool newPathRefused = false;
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

// The table checks itself: every successor is a state of the table (or the
// end), no state number is used twice, and every state can be reached from
// the first, which is state 0. A row added or mistyped fails here, not in a
// run on a machine.
TEST(InstallTable, EverySuccessorIsAStateNumbersAreUniqueAndEveryStateIsReachableFromStateZero)
{
    std::set<int> numbers;
    for (size_t i = 0; i < S::kStateCount; ++i)
        EXPECT_TRUE(numbers.insert(S::kTable[i].number).second) << "state " << S::kTable[i].number << " twice";
    ASSERT_GT(S::kStateCount, 0u);
    EXPECT_EQ(S::kTable[0].number, S::WaitControlExit);
    EXPECT_EQ(S::WaitControlExit, 0);

    std::set<int> reached{S::kTable[0].number};
    std::vector<int> frontier{S::kTable[0].number};
    while (!frontier.empty()) {
        int state = frontier.back();
        frontier.pop_back();
        for (size_t i = 0; i < S::kStateCount; ++i) {
            if (S::kTable[i].number != state)
                continue;
            for (S::State next : S::kTable[i].next) {
                if (next == S::Closed || next == S::None)
                    continue;
                EXPECT_TRUE(numbers.count(next)) << S::kTable[i].name << " goes on to " << next << ", no state";
                if (numbers.count(next) && reached.insert(next).second)
                    frontier.push_back(next);
            }
        }
    }
    EXPECT_EQ(reached, numbers) << "a state that no state goes on to";
}

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

// A box is gone once answered: every way a run ends early leaves one line in
// the setup log with its exit code and why, in Chinese whatever the language
// of the boxes ("Bad Signature" alone says neither what happened nor what to do).
TEST(SequenceStops, EveryEarlyEndWritesItsReasonToTheSetupLog)
{
    SetTraceFileEnabled(false);
    const std::string path = "C:\\tlx_sequence_stops.log";
    struct Case {
        const char* name;
        std::function<void(FakeMachine&, FakeWindow&)> arrange;
        int code;
        std::string reason;
    };
    const Case cases[] = {
        {"bad signature", [](FakeMachine& m, FakeWindow&) { m.setupUsable = false; }, kExitSetupFileUnusable,
         "Bad Signature：安装文件的内容与它记录的MD5摘要不符（复制不完整或已损坏）。没有做任何更改；请重新复制安装文件后再运行。"},
        {"Cancel at the warning", [](FakeMachine&, FakeWindow& w) { w.answers = {IDCANCEL}; }, kExitCancelled,
         "删除警告中选择了<取消>，没有做任何更改"},
        {"Cancel at the not-carried box",
         [](FakeMachine& m, FakeWindow& w) {
             m.someNotCarried = true;
             w.answers = {IDOK, IDCANCEL};
         },
         kExitCancelled, "部分配置的参数无法保留，选择了<取消>，没有做任何更改"},
        {"package given up",
         [](FakeMachine& m, FakeWindow& w) {
             m.extractResults = {false};
             w.answers = {IDOK, IDCANCEL};
         },
         kExitRestored, "安装包运行失败（运行出错，退出代码 3），选择了<取消>；更新失败，原来的版本已恢复。安装程序退出。"},
        {"undo at start not whole",
         [](FakeMachine& m, FakeWindow&) {
             m.unfinished = true;
             m.recovery = {RecoveryOutcome::notRestored, "C:\\x <- C:\\y"};
         },
         kExitNotRestored, "上次安装没有完成，原来的版本未能完全恢复： C:\\x <- C:\\y"},
    };
    language = kLanguageEnglish;
    for (const Case& c : cases) {
        DeleteFileA(path.c_str());
        auto log = std::make_unique<CSetUpLogMgr>(path);
        log->Open();
        SetSetupLog(log.get());
        FakeWindow window;
        FakeMachine machine;
        c.arrange(machine, window);
        InstallSequence sequence(window, machine);
        for (int i = 0; i < 50 && !window.closed; ++i)
            sequence.Tick();
        SetSetupLog(nullptr);
        log.reset();
        std::ifstream in(path, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(sequence.exitCode, c.code) << c.name;
        EXPECT_NE(text.find("安装停止（退出代码 " + std::to_string(c.code) + "）：" + c.reason), std::string::npos)
            << c.name << ": " << text;
    }
    language = kLanguageChinese;
    DeleteFileA(path.c_str());
    SetTraceFileEnabled(true);
}

TEST_F(Sequence, TransferYesBringsTheDataTreeHomeAfterTheTransfer)
{
    std::vector<int> ran = Run();
    EXPECT_EQ(ran, (std::vector<int>{S::WaitControlExit, S::ConfirmWipe, S::CollectInfo, S::SaveFiles, S::ClearOld,
                                     S::Extract, S::CopySystem, S::NoOpStep, S::WriteLanguage, S::Drivers,
                                     S::Transfer, S::RestoreFiles, S::PostInstall, S::Finish}));
    EXPECT_EQ(machine.done,
              (std::vector<std::string>{"control?", "check", "collect", "clear", "extract", "system",
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
    EXPECT_EQ(std::count(machine.done.begin(), machine.done.end(), "restore"), 0);
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

TEST_F(Sequence, AnUndoThatIsNotWholeOrAnUnreadableJournalEndsTheRunBeforeAnythingElse)
{
    machine.unfinished = true;
    machine.recovery = {RecoveryOutcome::notRestored, "C:\\Velko\\a.dll <- C:\\Velko.previous\\t\\1\\a.dll"};
    Run();
    EXPECT_EQ(machine.done, (std::vector<std::string>{"control?", "recover"}));
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0], StrPrintf(LocalText(MsgUndoNotWhole), machine.recovery.detail.c_str()));
    EXPECT_EQ(sequenceExitCode, kExitNotRestored);

    machine.done.clear();
    window.boxes.clear();
    machine.recovery = {RecoveryOutcome::unreadable, "D:\\Velko\\Boot\\SetUp.journal"};
    window.closed = false;
    Run();
    EXPECT_EQ(machine.done, (std::vector<std::string>{"control?", "recover"}));
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0], StrPrintf(LocalText(MsgJournalUnreadable), machine.recovery.detail.c_str()));
    EXPECT_EQ(sequenceExitCode, kExitNotRestored);
}

TEST_F(Sequence, TheFinalMessageWaitsForTheDriverInstaller)
{
    machine.driverTicks = 2;
    std::vector<int> ran = Run();
    EXPECT_EQ(std::count(ran.begin(), ran.end(), static_cast<int>(S::Finish)), 3);
    EXPECT_EQ(window.boxes.back(), Success());
    EXPECT_EQ(window.steps.back(), InstallStep::Finished);
}

TEST_F(Sequence, GoingOnWithoutSomeConfigurationsValuesEndsWithExitCodeOne)
{
    machine.askThroughPort = true;
    machine.someNotCarried = true;
    window.answers = {IDOK, IDYES, IDOK};
    Run();
    EXPECT_EQ(window.boxes.back(), Success());
    EXPECT_EQ(sequenceExitCode, kExitNotCarried);
    EXPECT_EQ(window.purposes, (std::vector<MessagePurpose>{MessagePurpose::wipeWarning, MessagePurpose::keepParameters,
                                                             MessagePurpose::notCarried, MessagePurpose::notice}));
}

// Setup.exe /S: the same sequence without a window. No box may reach the
// screen (the message handler stands in for it), and the answers are those
// a deployment needs.
class SilentRun : public Sequence {
protected:
    void SetUp() override
    {
        Sequence::SetUp();
        SetMessageHandler([this](const std::string& text, unsigned) {
            shown.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageHandler(MessageHandler());
        Sequence::TearDown();
    }
    int RunSilently(bool keepParameters = true, unsigned waitSeconds = 300, bool goOn = false, bool reinstall = false)
    {
        SilentWindow::Settings settings;
        settings.reinstall = reinstall;
        settings.keepParameters = keepParameters;
        settings.goOnWithoutValues = goOn;
        settings.waitSeconds = waitSeconds;
        settings.periodMs = 1;
        SilentWindow silent(machine, settings);
        return silent.Run();
    }
    size_t Count(const char* what) const
    {
        return static_cast<size_t>(std::count(machine.done.begin(), machine.done.end(), what));
    }

    std::vector<std::string> shown;
};

TEST_F(SilentRun, GoesOnWithoutWhatCannotBeCarriedOnlyWhenToldAndNeverCallsAKeptFileDone)
{
    // Without /GOON: values that cannot be carried end the run before anything changes.
    machine.askThroughPort = true;
    machine.someNotCarried = true;
    machine.heldFile = true;
    machine.controlTicks = 2;
    EXPECT_EQ(RunSilently(), kExitValuesWouldBeLost);
    EXPECT_EQ(Count("control?"), 3u) << "waits for the control program";
    EXPECT_EQ(Count("clear"), 0u);
    EXPECT_EQ(Count("discard"), 0u);

    // With /GOON the run goes on; the held file keeps its old version, which
    // is not a success.
    machine.done.clear();
    EXPECT_EQ(RunSilently(true, 300, true), kExitIncomplete);
    EXPECT_EQ(Count("restore"), 1u) << "Yes to keeping the parameters";
    EXPECT_EQ(Count("transfer"), 1u);
    EXPECT_EQ(Count("clear again"), 0u) << "Cancel to the held file";
    EXPECT_EQ(Count("held file kept"), 1u);
    EXPECT_EQ(machine.done.back(), "discard") << "the new release is in place";

    // Values not carried and nothing else amiss: 1.
    machine.done.clear();
    machine.heldFile = false;
    EXPECT_EQ(RunSilently(true, 300, true), kExitNotCarried);
    EXPECT_TRUE(shown.empty());
}

TEST_F(SilentRun, TheDriverInstallerIsWaitedForNoLongerThanTheWait)
{
    machine.driverTicks = 1000000;
    EXPECT_EQ(RunSilently(true, 0), kExitDriverWaitOver);
    EXPECT_EQ(Count("discard"), 1u) << "the new release is in place";
    EXPECT_TRUE(shown.empty());
}

TEST_F(SilentRun, NoParamsAnswersNo)
{
    machine.askThroughPort = true;
    EXPECT_EQ(RunSilently(false), kExitSuccess);
    EXPECT_EQ(Count("restore"), 0u);
    EXPECT_EQ(Count("transfer"), 0u);
    EXPECT_EQ(Count("user"), 1u) << "the release's user configuration comes in instead";
    EXPECT_TRUE(shown.empty());
}

TEST_F(SilentRun, AFailedPackageIsNotRetriedAndThePreviousReleaseGoesBack)
{
    machine.extractResults = {false, true};
    EXPECT_EQ(RunSilently(), kExitRestored);
    EXPECT_EQ(Count("extract"), 1u);
    EXPECT_EQ(machine.done.back(), "putBack");
    EXPECT_TRUE(shown.empty());
}

TEST_F(SilentRun, AControlProgramThatOutlastsTheWaitEndsTheRunWithNothingChanged)
{
    machine.controlTicks = 1000000;
    unsigned long long start = ElapsedMilliseconds();
    EXPECT_EQ(RunSilently(true, 1), kExitTryAgainLater);
    unsigned long long took = ElapsedMilliseconds() - start;
    EXPECT_GE(took, 1000u);
    EXPECT_LT(took, 5000u);
    EXPECT_EQ(machine.done, std::vector<std::string>(Count("control?"), "control?"));
    EXPECT_TRUE(shown.empty());
}

// The same release again changes nothing unless asked (the window's Yes,
// /REINSTALL), and says so to the run state; a new release whose Path is
// refused is never run on, and the previous one goes back.
TEST_F(SilentRun, TheSameReleaseIsLeftUnlessAskedAndARefusedNewPathPutsThePreviousReleaseBack)
{
    machine.sameReleaseAt = "2026-12-01 10:00:00";
    {
        InstallSequence sequence(window, machine);
        window.answers = {IDNO};
        while (!window.closed)
            sequence.Tick();
        EXPECT_EQ(sequence.exitCode, kExitSuccess);
        EXPECT_TRUE(sequence.changedNothing);
        ASSERT_EQ(window.purposes, std::vector<MessagePurpose>{MessagePurpose::sameRelease});
        EXPECT_NE(window.boxes[0].find("2026-12-01 10:00:00"), std::string::npos);
        EXPECT_EQ(machine.done, (std::vector<std::string>{"control?", "check"}));
    }
    EXPECT_EQ(RunSilently(), kExitSuccess);
    EXPECT_EQ(Count("clear"), 0u);
    EXPECT_EQ(Count("extract"), 0u);

    machine.done.clear();
    EXPECT_EQ(RunSilently(true, 300, false, true), kExitSuccess);
    EXPECT_EQ(Count("transfer"), 1u) << "/REINSTALL installs it again, the values carried";
    EXPECT_EQ(machine.done.back(), "discard");

    machine.done.clear();
    machine.sameReleaseAt.clear();
    machine.newPathRefused = true;
    EXPECT_EQ(RunSilently(), kExitRestored);
    EXPECT_EQ(Count("extract"), 1u) << "not retried: the package would lay the same";
    EXPECT_EQ(machine.done.back(), "putBack");
    EXPECT_EQ(Count("system"), 0u) << "nothing is written under the refused Path";
    EXPECT_TRUE(shown.empty());
}

TEST(SetupCommandLine, SwitchesInAnyCaseAndEverythingElseRefused)
{
    SetupOptions none = ParseSetupCommandLine("");
    EXPECT_FALSE(none.silent);
    EXPECT_TRUE(none.problem.empty());
    EXPECT_FALSE(none.usageAsked);

    SetupOptions all = ParseSetupCommandLine("  /s\t/NoParams  \"/wait=3\" ");
    EXPECT_TRUE(all.silent);
    EXPECT_FALSE(all.keepParameters);
    EXPECT_EQ(all.waitSeconds, 3u);
    EXPECT_TRUE(all.problem.empty()) << all.problem;
    SetupOptions plain = ParseSetupCommandLine("/S");
    EXPECT_TRUE(plain.keepParameters);
    EXPECT_EQ(plain.waitSeconds, 300u);
    EXPECT_EQ(ParseSetupCommandLine("/S /WAIT=0").waitSeconds, 0u);
    EXPECT_TRUE(ParseSetupCommandLine("/?").usageAsked);
    EXPECT_TRUE(ParseSetupCommandLine("/?").problem.empty());

    EXPECT_TRUE(ParseSetupCommandLine("/s /check /EngineCodes").engineCodes);
    EXPECT_FALSE(ParseSetupCommandLine("/S").engineCodes);
    for (const char* bad : {"/X", "/S /WAIT=", "/S /WAIT=-1", "/S /WAIT=86401", "/S /WAIT=3s", "/S/NOPARAMS", "S",
                            "/NOPARAMS", "/WAIT=5", "/S extra", "/ENGINECODES", "/CHECK /ENGINECODES",
                            "/REINSTALL", "/S /REINSTALL /ROLLBACK", "/STAGE", "/S /STAGE /CHECK",
                            "/S /STAGE /ROLLBACK"}) {
        SetupOptions refused = ParseSetupCommandLine(bad);
        EXPECT_FALSE(refused.problem.empty()) << bad;
    }
    // A refused line still says whether it was meant silent: the usage then
    // goes to the setup log, not into a box nobody answers.
    EXPECT_TRUE(ParseSetupCommandLine("/S /X").silent);
    EXPECT_TRUE(ParseSetupCommandLine("/s /reinstall").reinstall);
    EXPECT_FALSE(ParseSetupCommandLine("/S").reinstall);
    EXPECT_TRUE(ParseSetupCommandLine("/s /stage /wait=0").stage);
    EXPECT_FALSE(ParseSetupCommandLine("/S").stage);

    std::string usage = SetupUsageText();
    // The synopsis (its first two lines) names every switch the line takes.
    std::string synopsis = usage.substr(0, usage.find('\n', usage.find('\n') + 1));
    for (const char* word : {"/CHECK", "/S ", "/NOPARAMS", "/GOON", "/WAIT=seconds", "/ENGINECODES", "/REINSTALL",
                             "/NOKEEP", "/LOG=file", "/ROLLBACK", "/STAGE", "/?"})
        EXPECT_NE(synopsis.find(word), std::string::npos) << word << " is not in the synopsis: " << synopsis;
    for (int code = kExitSuccess; code <= kExitServiceCase; ++code)
        EXPECT_NE(usage.find("\n  " + std::to_string(code) + "  "), std::string::npos) << code;
    for (int code : {kExitOtherSetup, kExitTryAgainLater, kExitRestartCompletes})
        EXPECT_NE(usage.find(" " + std::to_string(code) + " "), std::string::npos) << code;
}

} // namespace
