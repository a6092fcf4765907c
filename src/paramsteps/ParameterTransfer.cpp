// Bringing the machine's values into the new release: the user tree of the
// package into the data tree, and each saved amend file merged into the new
// release's amend.dat of the same configuration.
#include "paramsteps/ParameterTransfer.h"

#include "locations/Locations.h"
#include "messages/Messages.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "messages/InstallPort.h"
#include "params/AmendMerge.h"
#include "params/CarryReport.h"
#include "paramsteps/CarryReportLog.h"
#include "platform/DirectoryEntries.h"
#include "platform/FileCopy.h"
#include "platform/DirectoryTree.h"
#include "release/DataTreeFiles.h"
#include "release/PreviousRelease.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"

#include <algorithm>

namespace {
std::string ReplaceAll(std::string text, const std::string& what, const std::string& with)
{
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + with.size()))
        text.replace(pos, what.size(), with);
    return text;
}

// Where the configuration of a data or amend file stood in the question.
size_t QuestionPlace(const ParameterSession& session, const std::string& name)
{
    for (size_t i = 0; i < session.configurations.size(); ++i) {
        const std::string& file = session.configurations[i];
        std::string dir = file.substr(0, file.find_last_of('\\'));
        if (dir.substr(dir.find_last_of('\\') + 1) == name)
            return i;
    }
    return session.configurations.size();
}

// Tells the user which configurations kept their values, in the question's
// order, and what each carried, dropped and gained: a value dropped silently
// is a machine that behaves otherwise without anyone knowing why.
void ShowTransferSummary(ParameterSession& session, std::vector<std::string> merged, const std::string& reportFile)
{
    if (merged.empty())
        return;
    std::stable_sort(merged.begin(), merged.end(), [&](const std::string& a, const std::string& b) {
        return QuestionPlace(session, a) < QuestionPlace(session, b);
    });
    std::string text = LocalText(MsgTransferSummaryHeader);
    for (const auto& name : merged)
        text += name + "\n";
    text += LocalText(MsgTransferSummarySuccess);
    bool dropped = false;
    for (const auto& name : merged) {
        for (const CarryReport& report : session.carryReports) {
            if (report.configuration != name)
                continue;
            text += StrPrintf(LocalText(MsgCarryLineCarried), name.c_str(), static_cast<unsigned long>(report.carried));
            if (!report.dropped.empty())
                text += StrPrintf(LocalText(MsgCarryLineDropped), static_cast<unsigned long>(report.dropped.size()));
            if (!report.added.empty())
                text += StrPrintf(LocalText(MsgCarryLineAdded), static_cast<unsigned long>(report.added.size()));
            text += LocalText(MsgCarryLineEnd);
            dropped = dropped || !report.dropped.empty();
        }
    }
    // The dropped values with the machine's values are in the report file,
    // and in the setup log whatever became of the file.
    if (dropped)
        text += StrPrintf(LocalText(MsgCarryReportWhere), (reportFile.empty() ? SetupLogPath() : reportFile).c_str());
    std::string line = text;
    while (!line.empty() && line.back() == '\n')
        line.pop_back();
    WriteLogLine(line);
    session.ui.ShowMessage(text, MB_OK, MessagePurpose::summary);
}
// The release's folders that hold no file, made where nothing lies.
void MakeEmptyFoldersOf(const std::string& source, const std::string& target)
{
    ForEachEntry(source, "*", [&](const DirectoryEntry& entry) {
        std::string from = JoinPath(source, entry.name), to = JoinPath(target, entry.name);
        if (!from.empty() && !to.empty() && entry.IsDirectory() && !entry.IsReparsePoint()) {
            if (KindOfPath(to) == PathKind::missing)
                MakeDirectoryPath(to);
            MakeEmptyFoldersOf(from, to);
        }
        return true;
    });
}
} // namespace

void MergeSavedAmendFiles(ParameterSession& session)
{
    if (!session.transferRequested)
        return;
    if (ProductDirName() != session.recordedProductDirName) {
        // Nothing to merge into: the saved values stay for a service engineer.
        WriteLogLine("产品目录已改变，参数未迁移，保存的参数保留在" + session.paramWorkDir);
        session.ui.ShowMessage(StrPrintf(LocalText(MsgProductDirChanged), session.paramWorkDir.c_str()), MB_OK);
        return;
    }

    std::vector<std::string> merged;
    bool keepWorkDir = false;
    ForEachEntry(session.paramWorkDir, "*.*", [&](const DirectoryEntry& entry) {
        const std::string& name = entry.name;
        if (name.find("_amend.dat") == std::string::npos)
            return true;
        std::string base = session.useActiveConfig ? session.activeConfigDir : ProductDir();
        std::string configDir = JoinPath(JoinPath(base, "config"), ReplaceAll(name, "_amend.dat", ""));
        std::string target = JoinPath(configDir, "amend.dat");
        if (configDir.empty() || target.empty() || !PathExists(configDir))
            return true;
        std::string format = ConfigFormatFile(configDir);
        std::string saved = JoinPath(session.paramWorkDir, name);
        // Told from the same files before the merge rewrites the target.
        CarryReport report;
        bool reported = ReadCarryReport(name.substr(0, name.find("_amend.dat")), saved, target, format, report);
        MergeResult result = MergeAmendFile(saved, target, format);
        if (result == MergeResult::merged) {
            merged.push_back(name.substr(0, name.find("_amend.dat")));
            if (reported)
                session.carryReports.push_back(report);
        } else if (result == MergeResult::targetNotWritten) {
            // The release's amend.dat stays as it was; the saved values must
            // not go with the work directory.
            keepWorkDir = true;
            session.ui.ShowMessage(LocalText(MsgUnitFileCreateFailed), MB_OK);
            WriteLogLine("无法写入" + target + "，保存的参数保留在" + saved);
            session.ui.ShowMessage(StrPrintf(LocalText(MsgSavedValuesKept), target.c_str(), saved.c_str()), MB_OK);
        } else if (result == MergeResult::formatUnreadable) {
            // The release's amend.dat stays as shipped; the saved values
            // stay in the work directory for a service engineer.
            keepWorkDir = true;
            TraceMessage("|E|TransferParameters: %s unreadable, %s kept", format.c_str(), name.c_str());
            session.ui.ShowMessage(LocalText(MsgReserveFailed), MB_OK);
        }
        return true;
    });
    std::string reportFile = WriteCarryReports(session.carryReports, "CarryReport", session.notCarried);
    ShowTransferSummary(session, merged, reportFile);
    WriteLogLine("参数迁移完成");
    if (!keepWorkDir)
        DeleteTree(session.paramWorkDir);
}

void CopyReleaseUserTree(ParameterSession& session)
{
    // The package's user tree holds the product's directory inside it.
    std::string userTree = JoinPath(InstallRoot(), "User");
    std::string source = JoinPath(userTree, ProductDirName());
    std::string target = DataProductDir();
    bool productSourceExists = PathExists(source);
    if (productSourceExists && session.useActiveConfig)
        source = JoinPath(source, "config");
    if (!productSourceExists) {
        source = JoinPath(userTree, "config");
        target = JoinPath(DataProductDir(), "config");
    }
    if (session.useActiveConfig)
        target = JoinPath(session.activeConfigDir, "config");
    if (!PathExists(source))
        return;
    if (!PathExists(target))
        MakeDirectoryPath(target);
    // Written down before they are laid: these are the release's files of
    // the data tree, every other file there stays the operator's and is
    // never overwritten (its version stays, the release's goes beside it).
    // The copy keeps each file's size and last write time: the stamp of the
    // source is the laid file's.
    std::vector<LayPlan> plan = PlanReleaseLay(WithoutTrailingBackslash(source), WithoutTrailingBackslash(target));
    std::vector<LaidFile> laid;
    for (const LayPlan& file : plan)
        laid.push_back(file.laid);
    // A release's file that another program held through the set-aside kept
    // its old version in place: counted as this release's, the next run,
    // with the file free, sets it aside and lays the release's own.
    if (const JournalContents* run = JournalRun())
        for (const std::string& held : run->stayed)
            if (KindOfPath(held) == PathKind::file)
                laid.push_back({held, FileStamp(held)});
    RecordLaid(laid);
    MakeEmptyFoldersOf(source, target); // the release may rely on them
    for (const LayPlan& file : plan) {
        unsigned long error = 0;
        MakeDirectoryPath(ParentOf(file.laid.path));
        if (!CopyFileOver(file.source, file.laid.path, &error)) {
            TraceMessage("|E|CopyReleaseUserTree: %s not laid (error %lu)", file.laid.path.c_str(), error);
            WriteLogLine("新版本的文件未能放入数据目录：" + file.laid.path + "（错误 " + std::to_string(error) + "）");
        }
    }
    DeleteTree(userTree);
}
