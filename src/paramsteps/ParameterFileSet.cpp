// Saving what must survive a reinstall: the controller values of every
// configuration as text amend files, and the data tree without its parameter
// files; later the saved tree comes back over the new release.
#include "paramsteps/ParameterFileSet.h"

#include <functional>

#include "locations/Locations.h"
#include "messages/Messages.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "messages/InstallPort.h"
#include "format/FieldDescriptor.h"
#include "format/StringTable.h"
#include "params/DataFileVerification.h"
#include "release/PreviousRelease.h"
#include "params/ParameterFileKinds.h"
#include "params/LocalListingTexts.h"
#include "platform/DirectoryEntries.h"
#include "platform/FileCopy.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"

// The parameter file set: the files that a saved copy of the data tree must
// not bring back, because the new release's own ones must stay in force.
namespace {
using Remover = std::function<void(const std::string& path)>;

void DeleteSavedFile(const std::string& path) { DeleteUnprotectedFile(path); }

// In place the files are set aside, not deleted: a failed update puts them
// back.
void SetFileAside(const std::string& path) { SetAside(path); }

bool IsParameterDataFileName(const std::string& name)
{
    return LowerMultiByte(name) == kParameterDataFileName;
}
} // namespace

static void RemoveParameterFileSet(const std::string& root, const Remover& remove)
{
    PathList list;
    for (size_t i = 0; i < kParameterWholeNameCount; ++i) {
        const char* name = kParameterWholeNames[i];
        list.clear();
        CollectByName(root, name, list);
        for (const auto& path : list)
            remove(path);
    }
    for (size_t i = 0; i < kParameterFragmentCount; ++i) {
        const char* fragment = kParameterFragments[i];
        list.clear();
        CollectByFragment(root, fragment, list);
        for (const auto& path : list)
            remove(path);
    }
    for (size_t i = 0; i < kParameterDataFilePairCount; ++i) {
        list.clear();
        CollectByFragments(root, kParameterDataFilePairs[i].first, kParameterDataFilePairs[i].second, list);
        for (const auto& path : list)
            remove(path);
    }
    for (size_t i = 0; i < kParameterLastNameCount; ++i) {
        const char* name = kParameterLastNames[i];
        list.clear();
        CollectByName(root, name, list);
        for (const auto& path : list)
            remove(path);
    }
}

namespace {
std::string LastComponent(const std::string& dir)
{
    size_t slash = dir.find_last_of('\\');
    return slash == std::string::npos ? dir : dir.substr(slash + 1);
}

// Every "tornelix.dat" (any letter case) below root, in enumeration order.
void FindDataFiles(const std::string& root, ParameterSession& session)
{
    ForEachEntry(root, "*.*", [&](const DirectoryEntry& entry) {
        std::string full = JoinPath(root, entry.name);
        if (full.empty() || entry.IsReparsePoint())
            return true; // what a link leads to is not the product's
        if (entry.IsDirectory()) {
            FindDataFiles(full, session);
        } else if (IsParameterDataFileName(entry.name)) {
            session.reserveQuestion += LastComponent(root) + "\n";
            session.configurations.push_back(full);
        }
        return true;
    });
}

// Saves one configuration's controller values as its amend file; false when
// they could not be read or the amend file could not be written whole.
bool SaveConfiguration(ParameterSession& session, const std::string& dataFile)
{
    std::vector<unsigned char> block;
    std::string problem;
    bool read = ExtractParameters(dataFile, "CController", block, &problem);
    if (!problem.empty())
        session.ui.ShowMessage(problem, MB_OK);
    if (!read)
        return false;
    std::string configDir = dataFile.substr(0, dataFile.find_last_of('\\'));
    std::string name = LastComponent(configDir);
    std::string amendPath = JoinPath(session.paramWorkDir, name + "_amend.dat");
    std::string format = ConfigFormatFile(JoinPath(JoinPath(ProductDir(), "config"), name));

    CFieldDescriptor descriptor(LocalListingTexts());
    DeleteUnprotectedFile(amendPath);
    bool described = descriptor.DescribeBlock(amendPath, "CController", block.data(), static_cast<int>(block.size()), format);
    if (described) {
        // One box for each pair of serial numbers out of order; Cancel ends them.
        CSerialNumberCheck check = descriptor.CheckSerialNumbers();
        SerialNumberFinding finding;
        while (check.Next(finding))
            if (session.ui.ShowMessage(finding.message, MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL)
                break;
    }
    descriptor.Reset();
    ReleaseStringTable();
    // A listing cut short must not be merged as if it held every value.
    if (!described)
        DeleteUnprotectedFile(amendPath);
    return described;
}

// What an earlier run kept for a service engineer (saved values it could
// not merge, a data tree it could not restore) and named to the user must
// not be emptied or overwritten by this run: it moves to "<dir>.1" beside it.
// One earlier copy is kept, the newest: a copy of the data tree on every
// run would fill a machine updated for years.
void KeepEarlierCopy(const std::string& dir)
{
    std::string path = WithoutTrailingBackslash(dir);
    if (!PathExists(path))
        return;
    std::string kept = path + ".1";
    if (PathExists(kept)) {
        if (!DeleteTree(kept)) {
            TraceMessage("|E|KeepEarlierCopy: %s not deleted; %s stays", kept.c_str(), path.c_str());
            return;
        }
        WriteLogLine("更早保留的文件已删除：" + kept);
    }
    if (MovePath(path, kept, false))
        WriteLogLine("上次保留的文件移至" + kept);
}

std::string ConfigurationName(const std::string& dataFile)
{
    return LastComponent(dataFile.substr(0, dataFile.find_last_of('\\')));
}
} // namespace

void FindConfigurations(ParameterSession& session)
{
    FindDataFiles(JoinPath(DataProductDir(), "config"), session);
    FindDataFiles(JoinPath(ProductDir(), "config"), session);
}

bool CollectConfigurationValues(ParameterSession& session)
{
    FindConfigurations(session);
    if (session.configurations.empty())
        return true;
    session.reserveQuestion += LocalText(MsgReserveAsk);
    if (session.ui.ShowMessage(session.reserveQuestion, MB_YESNO, MessagePurpose::keepParameters) != IDYES)
        return true;
    session.transferRequested = 1;
    WriteLogLine("需要进行参数迁移");
    session.recordedProductDirName = ProductDirName();

    KeepEarlierCopy(session.paramWorkDir);
    DeleteTree(session.paramWorkDir);
    MakeDirectory(session.paramWorkDir);
    std::string lost;
    for (const auto& dataFile : session.configurations)
        if (!SaveConfiguration(session, dataFile))
            lost += ConfigurationName(dataFile) + "\n";
    if (lost.empty())
        return true;
    // Said before anything is deleted, while the user can still keep the
    // machine as it is.
    std::string names = lost.substr(0, lost.size() - 1);
    for (char& c : names)
        if (c == '\n')
            c = ',';
    WriteLogLine("参数无法保留的配置：" + names);
    if (session.ui.ShowMessage(StrPrintf(LocalText(MsgNotCarried), lost.c_str()), MB_OKCANCEL | MB_ICONEXCLAMATION,
                               MessagePurpose::notCarried) == IDOK) {
        session.valuesNotCarried = true;
        return true;
    }
    WriteLogLine("用户取消安装，未做任何更改");
    DeleteTree(session.paramWorkDir);
    return false;
}

namespace {
// True when every file below source is below destination with the same size
// (links, which are never copied, left out).
bool IsCopiedWhole(const std::string& source, const std::string& destination)
{
    if (JoinPath(source, "*.*").empty())
        return false;
    bool whole = true;
    ForEachEntry(source, "*.*", [&](const DirectoryEntry& entry) {
        if (entry.IsReparsePoint())
            return true; // never copied
        std::string from = JoinPath(source, entry.name);
        std::string to = JoinPath(destination, entry.name);
        if (from.empty() || to.empty()) { // too long to have been copied
            whole = false;
        } else if (entry.IsDirectory()) {
            whole = IsCopiedWhole(from, to);
        } else {
            unsigned long long size = 0;
            whole = FileSizeOf(to, &size) && size == entry.size;
        }
        return whole;
    });
    return whole;
}
} // namespace

bool SaveDataTreeWithoutParameterFiles()
{
    std::string source = WithoutTrailingBackslash(DataProductDir());
    std::string destination = WithoutTrailingBackslash(TempSaveDir());
    if (!PathExists(source))
        return true;
    KeepEarlierCopy(destination);
    MakeDirectoryPath(destination);
    int copied = CopyTree(source, destination);
    if (copied != 0 || !IsCopiedWhole(source, destination)) {
        // A full or missing drive: the partial copy must not come back over
        // the originals in state 9, and the originals must not be wiped.
        TraceMessage("|E|SaveParameterFiles: %s not copied whole to %s (%d); the data tree stays in place",
                     source.c_str(), destination.c_str(), copied);
        DeleteTree(destination);
        return false;
    }
    RemoveParameterFileSet(destination, DeleteSavedFile);
    return true;
}

void RemoveParameterFilesInPlace()
{
    std::string tree = WithoutTrailingBackslash(DataProductDir());
    if (IsDirectory(tree))
        RemoveParameterFileSet(tree, SetFileAside);
}

void RestoreDataTree(InstallPort& ui)
{
    std::string source = WithoutTrailingBackslash(TempSaveDir());
    std::string destination = WithoutTrailingBackslash(DataProductDir());
    if (!PathExists(source))
        return;
    if (!PathExists(destination))
        MakeDirectoryPath(destination);
    // Whether every file arrived is checked below.
    int copied = CopyTree(source, destination);
    if (copied != 0 || !IsCopiedWhole(source, destination)) {
        // The saved tree is the only whole copy of the user's files.
        TraceMessage("|E|RestoreSavedFiles: %s not restored whole to %s (%d); kept", source.c_str(),
                     destination.c_str(), copied);
        WriteLogLine("数据文件未能全部恢复，保存的文件保留在" + source);
        ui.ShowMessage(StrPrintf(LocalText(MsgRestoreIncomplete), destination.c_str(), source.c_str()), MB_OK);
        return;
    }
    DeleteTree(TempSaveDir());
}
