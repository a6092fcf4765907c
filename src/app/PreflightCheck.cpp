#include "app/PreflightCheck.h"

#include <map>
#include <vector>

#include "app/CommandLine.h"
#include "app/ControllerOperations.h"
#include "app/ExitCodes.h"
#include "deploy/FileTree.h"
#include "release/KeptRelease.h"
#include "release/RunState.h"
#include "release/Stage.h"
#include "setupfile/SetupDigest.h"
#include "release/StartupRecovery.h"
#include "deploy/PackagePreview.h"
#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "messages/Messages.h"
#include "messages/InstallPort.h"
#include "paramsteps/CarryPreview.h"
#include "paramsteps/CarryReportLog.h"
#include "paramsteps/ParameterFileSet.h"
#include "paramsteps/ParameterSession.h"
#include "platform/Console.h"
#include "platform/DirectoryEntries.h"
#include "platform/DirectoryTree.h"
#include "platform/DiskSpace.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"
#include "platform/TempDirectory.h"

namespace {
// Nobody is asked anything: CollectParameterInfo is not run, only the
// configurations are looked for.
class NoPort : public InstallPort {
public:
    void ShowStep(InstallStep) override {}
    int ShowMessage(const std::string&, unsigned, MessagePurpose) override { return IDCANCEL; }
};

std::string Megabytes(unsigned long long bytes) { return StrPrintf("%.1f MB", bytes / 1048576.0); }

// The worse of two outcomes: a reason not to update beats a warning.
int Worse(int current, int found)
{
    auto rank = [](int code) {
        switch (code) {
        case kExitSuccess: return 0;
        case kExitReadyNotCarried: return 1;
        case kExitValuesWouldBeLost: return 2;
        case kExitNoSpace: return 3;
        case kExitTryAgainLater: return 4;
        case kExitServiceCase: return 5;
        case kExitNotRestored: return 7; // a record that the start would refuse
        default: return 6; // the setup file
        }
    };
    return rank(found) > rank(current) ? found : current;
}

// True while the control program runs: a person who starts the check sees
// the answer now; /S waits as the update would.
bool ControlProgramStillRunning(ControllerOperations& machine, const SetupOptions& options)
{
    return !machine.ControlProgramGoneWithin(options.silent ? options.waitSeconds : 0);
}

// The check's outcome as a word for the report's JSON.
const char* CheckOutcomeWord(int code, bool rollback)
{
    switch (code) {
    case kExitSuccess: return rollback ? "can-roll-back" : "ready";
    case kExitReadyNotCarried: return "ready-values-not-carried";
    case kExitCancelled:
    case kExitTryAgainLater: return "not-now";
    case kExitServiceCase: return "service-case";
    case kExitSetupFileUnusable: return "setup-file-unusable";
    case kExitValuesWouldBeLost: return "values-would-be-lost";
    case kExitNoSpace: return "not-enough-space";
    case kExitNothingKept: return "nothing-kept";
    case kExitRollbackNotDone: return "rollback-not-possible";
    case kExitNotRestored: return "record-damaged";
    default: return "other";
    }
}

// What the check found, in the setup log, the report file and shown or
// printed; the verdict last.
void Report(const SetupOptions& options, const std::vector<std::string>& lines, int code,
            const std::vector<CarryReport>& reports = {},
            const std::vector<std::pair<std::string, std::string>>& unreadable = {})
{
    code = GivenExitCode(code, options.engineCodes); // the report says what the exit code says
    ReportJsonHead head;
    head.kind = "CheckReport";
    head.setupFile = RunningProgramPath();
    head.exitCodeKnown = true;
    head.exitCode = code;
    head.outcome = CheckOutcomeWord(code, options.rollback);
    head.verdict = lines.empty() ? std::string() : lines.back(); // the verdict comes last
    head.unreadable = unreadable;
    RunReportPaths paths = WriteReport(lines, reports, head);
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    for (const std::string& path : {paths.text, paths.json})
        if (!path.empty())
            text += "报告文件：" + path + "\n";
    if (options.silent)
        WriteToStarter(text);
    else
        ShowMessageBox(text, MB_OK | (code == kExitSuccess ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}

// What the start would meet in the records beside the setup log, read with
// the same readers; false when one cannot be trusted (the start ends with 5).
bool RecordsLines(std::vector<std::string>* lines)
{
    RecordsFound found = InspectRecords();
    if (!found.damaged.empty()) {
        lines->push_back("安装记录无法读取，安装程序将不做任何更改：" + found.damaged);
        return false;
    }
    if (found.swapCutShort)
        lines->push_back("上次回退没有结束：开始时先完成或撤销它");
    if (found.updateCutShort)
        lines->push_back("上次安装没有结束：开始时先恢复原来的版本");
    return true;
}

// The kept release by its name, digest and time, and per place what a swap
// would bring back and what it would set aside in its stead.
void KeptReleaseLines(const KeptRecord& record, std::vector<std::string>* lines)
{
    ReleaseFields kept = KeptReleaseOfState();
    lines->push_back("保留的上一版本：" + (kept.release.empty() ? std::string("unknown") : kept.release) + "，摘要 " +
                     (kept.digest.empty() ? std::string("未知") : kept.digest) + "，安装于 " +
                     (kept.time.empty() ? std::string("未知") : kept.time) + "（" + record.when + " 由 " +
                     record.setupFile + " 更新时保留）");
    for (const KeptEntry& entry : record.entries) {
        lines->push_back((KindOfPath(entry.aside) != PathKind::missing ? "放回：" : "保留的版本在此没有文件：") +
                         entry.original);
        if (KindOfPath(entry.original) != PathKind::missing)
            lines->push_back("移开并保留：" + entry.original);
    }
}

// /CHECK /ROLLBACK: whether the kept release could be put back now.
int CheckRollback(const SetupOptions& options)
{
    ControllerOperations machine;
    std::vector<std::string> lines{"回退前检查（/CHECK /ROLLBACK），没有做任何更改：" + RunningProgramPath()};
    int code = kExitSuccess;
    bool running = ControlProgramStillRunning(machine, options);
    lines.push_back(running ? "控制程序：正在运行（退出后才能回退）" : "控制程序：未运行");
    if (running)
        code = kExitTryAgainLater;
    if (!RecordsLines(&lines)) {
        lines.push_back("结论：不能回退");
        Report(options, lines, kExitNotRestored);
        return kExitNotRestored;
    }
    KeptRecord record;
    std::string problem;
    switch (ReadKeptRecord(&record, &problem)) {
    case KeptReading::none:
        lines.push_back("保留的上一版本：没有");
        code = kExitNothingKept;
        break;
    case KeptReading::damaged:
        lines.push_back("保留的上一版本：记录无法读取：" + problem);
        code = kExitRollbackNotDone;
        break;
    case KeptReading::ok:
        KeptReleaseLines(record, &lines);
        for (const std::string& dir : MissingKeptDirectories(record)) {
            lines.push_back("保留的目录不存在：" + dir);
            code = kExitRollbackNotDone;
        }
        break;
    }
    lines.push_back(code == kExitSuccess ? "结论：可以回退" : "结论：不能回退");
    Report(options, lines, code);
    return code;
}
} // namespace

int RunPreflightCheck(const SetupOptions& options)
{
    if (options.rollback)
        return CheckRollback(options);
    ControllerOperations machine;
    std::vector<std::string> lines{"安装前检查（/CHECK），没有做任何更改：" + RunningProgramPath()};
    int code = kExitSuccess;

    std::string problem = machine.SetupFileProblem();
    // "Bad Signature" alone reads like a certificate problem: the cause beside it.
    std::string cause = problem == kTextBadSignature ? "（" + machine.SetupFileDamage() + "）" : std::string();
    lines.push_back(problem.empty() ? "安装文件：完好" : "安装文件：无法使用：" + problem + cause);
    if (!problem.empty())
        code = Worse(code, kExitSetupFileUnusable);

    std::string refusal = machine.ProductTreeRefusal();
    lines.push_back(refusal.empty() ? "setup.cfg：Path正常" : "setup.cfg：" + refusal);
    if (!refusal.empty())
        code = Worse(code, kExitServiceCase);

    if (problem.empty()) {
        std::string name;
        std::string installedAt = machine.SameReleaseInstalledAt(&name);
        if (!installedAt.empty())
            lines.push_back("安装文件：此版本已经安装（" + installedAt +
                            "），更新不会做任何更改（/S /REINSTALL 重新安装）");
    }

    bool running = ControlProgramStillRunning(machine, options);
    lines.push_back(running ? "控制程序：正在运行（退出后才能更新）" : "控制程序：未运行");
    if (running)
        code = Worse(code, kExitTryAgainLater);
    if (!RecordsLines(&lines))
        code = Worse(code, kExitNotRestored);

    // A stage only saves time: whichever it is, the update goes through.
    StageFound stage = FindStage(RecordedSetupDigest(RunningProgramPath()), true);
    if (stage.state == StageFound::usable)
        lines.push_back("暂存：" + stage.record.release + "（" + stage.record.dir + "，" + stage.record.when +
                        "），更新将换入它");
    else if (stage.state == StageFound::notUsable)
        lines.push_back("暂存：" + (stage.record.release.empty() ? std::string("？") : stage.record.release) +
                        "，更新不会使用它（将删除）：" + stage.reason);
    else
        lines.push_back("暂存：无");

    lines.push_back(IsWriteFilterSystem() ? "写保护：已启用（更新提交受保护的卷，重新启动后生效）" : "写保护：无");

    NoPort port;
    ParameterSession session(port);
    session.paramWorkDir = ParamWorkDir();
    FindConfigurations(session);
    bool keep = options.keepParameters && !session.configurations.empty();

    // The new release, laid out in the temporary directory to be read.
    PackagePreview preview;
    if (problem.empty()) {
        preview = PreviewPackage(RunningProgramPath());
        if (preview.notStarted) {
            // The update may well go through; only what it carries is unknown.
            lines.push_back("新版本：无法预览：" + preview.problem);
        } else if (!preview.ok) {
            lines.push_back("新版本：无法读取：" + preview.problem);
            code = Worse(code, kExitSetupFileUnusable);
        } else {
            lines.push_back("新版本：" + Megabytes(preview.releaseSize) + "，安装包" + Megabytes(preview.packageSize));
        }
    }
    // The new release's Path leads the update once its package has run: the
    // update refuses it then and puts the previous release back.
    if (preview.ok) {
        ProductTreeVerdict next = CheckProductTreesOf(JoinPath(preview.releaseDir, "setup.cfg"));
        if (next.refusal == TreeRefusal::None) {
            lines.push_back("新版本的setup.cfg：Path正常");
        } else {
            lines.push_back("新版本的setup.cfg：Path=" + next.pathValue + " 不能使用：" +
                            TreeRefusalReason(next.refusal) + "（更新将恢复原来的版本）");
            code = Worse(code, kExitCancelled);
        }
    } else {
        lines.push_back("新版本的setup.cfg：无法检查（新版本无法预览）");
    }

    std::vector<CarryReport> reports;
    std::vector<std::pair<std::string, std::string>> unreadable;
    if (keep) {
        FileError error(FileError::none, 0, std::string());
        std::string work = CreateRunDirectory("chk", ".tmp", &error);
        std::string newProduct =
            preview.ok ? JoinPath(preview.releaseDir, WithoutTrailingBackslash(ProductDirName())) : std::string();
        for (const ConfigurationPreview& config : PreviewConfigurations(session.configurations, work, newProduct)) {
            if (!config.readable) {
                lines.push_back("配置" + config.name + "：参数无法读取，将不会被保留（" + config.dataFile + "）");
                unreadable.emplace_back(config.name, config.dataFile);
                code = Worse(code, kExitValuesWouldBeLost);
            } else if (!preview.ok) {
                lines.push_back("配置" + config.name + "：参数可以读取");
            } else if (!config.reported) {
                lines.push_back("配置" + config.name + "：新版本没有此配置或其格式，参数不会迁移");
                code = Worse(code, kExitReadyNotCarried);
            } else {
                reports.push_back(config.report);
                if (!config.report.dropped.empty())
                    code = Worse(code, kExitReadyNotCarried);
            }
        }
        if (!work.empty())
            DeleteTree(work);
    }

    // What the update writes, drive by drive: the package's copy in the
    // temporary directory and the new release below InstallRoot; the old
    // release and the data tree are set aside by renames and the operator's
    // files come home the same way.
    if (preview.ok) {
        std::map<char, unsigned long long> need;
        auto add = [&](const std::string& path, unsigned long long bytes) {
            if (!path.empty())
                need[static_cast<char>(toupper(static_cast<unsigned char>(path[0])))] += bytes;
        };
        add(TempPath(), preview.packageSize);
        add(InstallRoot(), preview.releaseSize);
        RemovePackagePreview(preview);
        // /STAGE lays the release beside the installation once more while
        // the old one is still in place (the preview gone, as for the update
        // below): said, but no reason not to update.
        if (stage.state != StageFound::usable && !IsWriteFilterSystem()) {
            unsigned long long free = 0, total = 0;
            bool known = VolumeSpace(WithBackslash(ParentOf(StagingRoot())), &free, &total);
            unsigned long long needed = preview.releaseSize + preview.packageSize;
            lines.push_back(StrPrintf("暂存（/STAGE）：需要%s，可用%s%s", Megabytes(needed).c_str(),
                                      known ? Megabytes(free).c_str() : "未知",
                                      known && free >= needed ? "" : "，空间不足，无法暂存"));
        }
        for (const auto& drive : need) {
            unsigned long long free = 0, total = 0;
            std::string root = std::string(1, drive.first) + ":\\";
            bool known = VolumeSpace(root, &free, &total);
            bool enough = known && free >= drive.second;
            lines.push_back(StrPrintf("磁盘%c:：需要%s，可用%s%s", drive.first, Megabytes(drive.second).c_str(),
                                      known ? Megabytes(free).c_str() : "未知", enough ? "" : "，空间不足"));
            if (!enough)
                code = Worse(code, kExitNoSpace);
        }
    } else {
        RemovePackagePreview(preview);
    }

    for (const CarryReport& report : reports)
        for (std::string& line : CarryReportLines(report))
            lines.push_back(std::move(line));
    lines.push_back(code == kExitSuccess           ? "结论：可以更新"
                    : code == kExitReadyNotCarried ? "结论：可以更新，但部分参数不会迁移"
                                                   : "结论：不能更新");
    Report(options, lines, code, reports, unreadable);
    return code;
}
