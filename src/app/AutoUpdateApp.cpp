#include "app/AutoUpdateApp.h"

#include "app/AutoUpdateDlg.h"
#include "app/CommandLine.h"
#include "app/ControllerOperations.h"
#include "app/ExitCodes.h"
#include "app/PreflightCheck.h"
#include "app/RollbackFlow.h"
#include "app/RunRecord.h"
#include "app/SetupLock.h"
#include "app/SilentWindow.h"
#include "app/StageRun.h"
#include "locations/Locations.h"
#include "locations/TempLocations.h"
#include "logs/SetupLog.h"
#include "messages/Messages.h"
#include "deploy/FileTree.h"
#include "release/RunState.h"
#include "release/StartupRecovery.h"
#include "format/StringTable.h"
#include "platform/Console.h"
#include "platform/DirectoryTree.h"
#include "platform/LinkGuard.h"
#include "platform/MessageBox.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "setupfile/SetupDigest.h"

namespace {
// /? or a command line that is not understood: the usage text, nothing else.
// A box only for /? asked in a session where someone can answer it: a line
// that was not understood may come from a deployment engine, which reads the
// standard output and the setup log.
int ShowUsage(const SetupOptions& options)
{
    std::string text = SetupUsageText();
    if (!options.problem.empty())
        text = "Setup.exe: " + options.problem + "\n\n" + text;
    int code = options.problem.empty() ? kExitCancelled : kExitBadArguments;
    WriteToStarter(text);
    if (options.silent || !options.problem.empty() || InServiceSession()) {
        WriteLogLine(options.problem.empty() ? "静默安装：显示用法，没有做任何更改"
                                             : "命令行无法识别，没有做任何更改：" + options.problem);
        if (!options.problem.empty())
            WriteLogLine(SetupUsageText());
    } else {
        ShowMessageBox(text, MB_OK | MB_ICONINFORMATION);
    }
    return code;
}

// English only where the machine's settings say "eng"; anything else, or
// nothing (a first install), is the Chinese of old.
int LanguageOfMachine()
{
    return LowerMultiByte(MachineActiveLangName()) == "eng" ? kLanguageEnglish : kLanguageChinese;
}

// A log that cannot be written: an OK box, or under /S its text in the setup
// log (as far as it goes) and to the starter, counted as a report.
void ShowLogFailure(const std::string& text) { ShowMessageBox(text, MB_OK | MB_ICONEXCLAMATION); }
void RecordLogFailure(const std::string& text) { RecordSilentMessage(text, MB_OK | MB_ICONEXCLAMATION, IDOK); }
// A line that missed SetUp.log: whoever started the setup reads it.
void EchoToStarter(const std::string& text) { WriteToStarter(text + "\n"); }

// Setup.exe /S: the sequence without a window.
int RunSilently(const SetupOptions& options, bool* changedNothing)
{
    ControllerOperations machine;
    SilentWindow::Settings settings;
    settings.keepParameters = options.keepParameters;
    settings.goOnWithoutValues = options.goOnWithoutValues;
    settings.waitSeconds = options.waitSeconds;
    settings.reinstall = options.reinstall;
    SilentWindow window(machine, settings);
    int code = window.Run();
    *changedNothing = window.Sequence().changedNothing;
    return code;
}
} // namespace

CAutoUpdateApp::CAutoUpdateApp() : m_log(SetupLogPath(), FallbackSetupLogPath()) {}

CAutoUpdateApp::~CAutoUpdateApp() = default;

int CAutoUpdateApp::InitInstance()
{
    // The machine's own language speaks to its operator; read before
    // anything changes, since the update replaces the files that say it.
    language = LanguageOfMachine();
    // Annotation texts "{@n}" come from the string file of the active language.
    SetStringTableDirProvider(LangDir);
    SetupOptions options = ParseSetupCommandLine(commandLine);
    ControllerOperations::keepPrevious = options.keepPrevious;
    // Silent: no box for the rest of the process, the log's closing at exit
    // included.
    SetLogFailureReporter(options.silent ? RecordLogFailure : ShowLogFailure);
    SetLogEcho(EchoToStarter);
    if (!options.logCopy.empty())
        SetLogCopy(options.logCopy);
    std::string bootDir = BootDir();
    // A boot directory that is, or lies behind, a link (a junction an
    // operator planted to the system directory) is no boot directory: nothing
    // is made, written, renamed or deleted through it, the setup log names it
    // in the fallback log, and the run ends as without a boot directory.
    const bool linked = !LinkOnPath(bootDir).empty();
    if (!linked && !PathExists(bootDir))
        MakeDirectoryPath(bootDir);
    bool logged = !linked && IsDirectory(bootDir);
    // Without the boot directory, or with SetUp.log held by another setup,
    // the lines go to the fallback log and the output.
    SetSetupLog(&m_log);
    m_log.Open();
    WriteLogLine("SetUp启动");
    if (language == kLanguageEnglish)
        WriteLogLine("机器的语言为 eng：以英文显示");
    if (!commandLine.empty())
        WriteLogLine("命令行：" + commandLine);
    {
        // Which release this run is for, whatever it ends with: the run state
        // names only what is installed.
        const std::string setup = RunningProgramPath();
        std::string release = RecordedReleaseName(setup);
        std::string digest = RecordedSetupDigest(setup);
        WriteLogLine("安装文件版本：" + (release.empty() ? setup.substr(setup.find_last_of('\\') + 1) : release) +
                     "，摘要 " + (digest.empty() ? std::string("未知") : digest) + "（" + setup + "）");
    }
    int code = kExitCancelled;
    // Nothing is read or recorded before the lock is held: a second setup
    // would install over the first.
    bool locked = false;
    SetupLock lock;
    bool changedNothing = false; // the same release: the run state must not call it a new install
    if (!options.problem.empty() || options.usageAsked) {
        code = ShowUsage(options);
    } else if (!(locked = lock.Take(options))) {
        code = kExitOtherSetup;
    } else if (!logged) {
        // Only the fallback log and the starter can take it.
        WriteLogLine("创建启动目录失败，没有做任何更改：" + bootDir);
        if (options.silent)
            RecordSilentMessage(LocalText(MsgBootDirFailed), MB_OK, IDOK);
        else
            ShowMessageBox(LocalText(MsgBootDirFailed), MB_OK);
        code = kExitServiceCase;
    } else if (options.check) {
        code = RunPreflightCheck(options);
    } else if (options.rollback) {
        code = RunRollback(options);
    } else if (options.stage) {
        code = RunStage(options, &changedNothing);
    } else if (options.silent) {
        code = RunSilently(options, &changedNothing);
    } else {
        CAutoUpdateDlg* dialog = new CAutoUpdateDlg();
        dialog->DoModal(nullptr);
        code = dialog->Sequence().exitCode;
        changedNothing = dialog->Sequence().changedNothing;
        // A window that could not be opened, or that ended without the
        // sequence ending it, is never a success.
        if (!dialog->Sequence().ended) {
            bool began = dialog->Sequence().began;
            WriteLogLine(began ? "安装窗口意外关闭，安装没有完成" : "安装窗口无法打开，没有做任何更改");
            code = began ? kExitNotRestored : kExitCancelled;
        }
        delete dialog;
    }
    int precise = code;
    code = GivenExitCode(code, options.engineCodes);
    // The run state belongs to the setup that holds the lock.
    if (locked && logged && !options.usageAsked && !options.check && options.problem.empty()) {
        RecordRun(code, precise, options.rollback, changedNothing, options.stage);
        // Installed, but the record the next run trusts could not say so:
        // never "done" (8, as for an install left to complete).
        if (TrustedRunStateWriteFailed() && !changedNothing && !options.stage && PutReleaseInPlace(precise)) {
            WriteLogLine("运行状态无法写入，安装未能记录，以代码 8 结束");
            code = GivenExitCode(kExitIncomplete, options.engineCodes);
        }
    }
    // The last such line of the log is what a fleet is sorted by: every run
    // meant to be unattended writes it, a command line refused included.
    if (options.silent || !options.problem.empty())
        TellSilently("静默安装结束，退出代码 " + std::to_string(code));
    // The next setup finds the log free once it holds the lock.
    m_log.Close();
    lock.Release();
    return code;
}
