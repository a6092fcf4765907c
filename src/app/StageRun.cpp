#include "app/StageRun.h"

#include "app/CommandLine.h"
#include "app/ControllerOperations.h"
#include "app/ExitCodes.h"
#include "app/SilentOutput.h"
#include "deploy/FileTree.h"
#include "locations/Locations.h"
#include "logs/SetupLog.h"
#include "messages/InstallPort.h"
#include "paramsteps/CarryPreview.h"
#include "params/CarryReport.h"
#include "paramsteps/CarryReportLog.h"
#include "paramsteps/ParameterFileSet.h"
#include "paramsteps/ParameterSession.h"
#include "platform/FileError.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"
#include "platform/TempDirectory.h"
#include "release/RunState.h"
#include "release/Stage.h"
#include "setupfile/SetupDigest.h"

namespace {
class NoPort : public InstallPort {
public:
    void ShowStep(InstallStep) override {}
    int ShowMessage(const std::string&, unsigned, MessagePurpose) override { return IDCANCEL; }
};

int Refuse(int code, const std::string& reason)
{
    TellSilently("暂存停止（退出代码 " + std::to_string(code) + "）：" + reason);
    return code;
}

// The carry as /CHECK previews it, against the staged release: the log says
// what the update would carry; the stage stands whatever it finds.
void LogCarryPreview(const SetupOptions& options, const std::string& stageDir)
{
    NoPort port;
    ParameterSession session(port);
    session.paramWorkDir = ParamWorkDir();
    FindConfigurations(session);
    if (!options.keepParameters || session.configurations.empty())
        return;
    FileError error(FileError::none, 0, std::string());
    std::string work = CreateRunDirectory("stg", ".tmp", &error);
    std::string newProduct = JoinPath(stageDir, WithoutTrailingBackslash(ProductDirName()));
    for (const ConfigurationPreview& config : PreviewConfigurations(session.configurations, work, newProduct)) {
        if (!config.readable)
            WriteLogLine("暂存：配置" + config.name + "：参数无法读取，更新时将不会被保留（" + config.dataFile + "）");
        else if (!config.reported)
            WriteLogLine("暂存：配置" + config.name + "：新版本没有此配置或其格式，参数不会迁移");
        else
            for (const std::string& line : CarryReportLines(config.report))
                WriteLogLine("暂存：" + line);
    }
    if (!work.empty())
        DeleteTree(work);
}
} // namespace

int RunStage(const SetupOptions& options, bool* changedNothing)
{
    WriteLogLine("暂存新版本（/STAGE）：控制程序照常运行，已安装的版本不变");
    // The filter drops what is written to the protected volume at the next
    // restart: a stage there would not outlive the shift it was made for.
    if (IsWriteFilterSystem())
        return Refuse(kExitCancelled, "写保护系统上不能暂存，没有做任何更改；请直接更新");
    ControllerOperations machine;
    std::string problem = machine.SetupFileProblem();
    if (!problem.empty()) {
        std::string cause = machine.SetupFileDamage();
        return Refuse(kExitSetupFileUnusable,
                      "安装文件无法使用，没有做任何更改：" + problem + (cause.empty() ? "" : "（" + cause + "）"));
    }
    std::string refusal = machine.ProductTreeRefusal();
    if (!refusal.empty())
        return Refuse(kExitServiceCase, refusal);
    std::string name;
    if (!options.reinstall && !machine.SameReleaseInstalledAt(&name).empty()) {
        WriteLogLine("此版本已经安装，不需要暂存，没有做任何更改");
        *changedNothing = true;
        return kExitSuccess;
    }
    const std::string setup = RunningProgramPath();
    std::string release = RecordedReleaseName(setup);
    if (release.empty())
        release = setup.substr(setup.find_last_of('\\') + 1);
    StageMade made = MakeStage(setup, release, RecordedSetupDigest(setup));
    for (const std::string& dropped : made.dropped)
        WriteLogLine("删除了之前的暂存：" + dropped);
    if (!made.dropped.empty())
        RecordStageGone();
    if (!made.ok) {
        int code = made.noSpace   ? kExitNoSpace
                   : made.notLaid ? kExitCancelled
                                  : kExitSetupFileUnusable;
        return Refuse(code, "没有暂存，已安装的版本不变：" + made.problem);
    }
    WriteLogLine(StrPrintf("已暂存：%s（%s，%u个文件，%.1f MB）", release.c_str(), made.dir.c_str(),
                           static_cast<unsigned>(made.files), made.bytes / 1048576.0));
    LogCarryPreview(options, made.dir);
    std::string notRecorded = RecordReleaseStaged(release, RecordedSetupDigest(setup));
    if (!notRecorded.empty())
        WriteLogLine(notRecorded);
    return kExitSuccess;
}
