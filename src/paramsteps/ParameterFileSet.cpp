// Saving what must survive a reinstall: the controller values of every
// configuration as text amend files. Of the data tree only the release's
// laid files and the machine's values go aside with the release (renames on
// its own drive); the laid files come back after the package, the values
// stay with the release set aside.
#include "paramsteps/ParameterFileSet.h"

#include <algorithm>
#include <functional>

#include "locations/Locations.h"
#include "messages/Messages.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "messages/InstallPort.h"
#include "format/FieldDescriptor.h"
#include "format/StringTable.h"
#include "params/AmendMerge.h"
#include "params/DataFileVerification.h"
#include "release/PreviousRelease.h"
#include "params/ParameterFileKinds.h"
#include "params/LocalListingTexts.h"
#include "platform/DirectoryEntries.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"

namespace {
bool IsParameterDataFileName(const std::string& name)
{
    return LowerMultiByte(name) == kParameterDataFileName;
}

const char kAmendFileName[] = "amend.dat";

bool IsAmendFileName(const std::string& name) { return LowerMultiByte(name) == kAmendFileName; }

// The controller section of an installed amend.dat, header first; only the
// header when it holds no value.
AmendEntries ControllerValuesOf(const std::string& amendFile)
{
    AmendEntries controller, other;
    ReadControllerSection(amendFile, controller, other);
    return controller;
}
} // namespace

bool IsAmendFile(const std::string& path)
{
    size_t slash = path.find_last_of('\\');
    return IsAmendFileName(slash == std::string::npos ? path : path.substr(slash + 1));
}

bool SaveAmendValues(const std::string& amendFile, const std::string& listing)
{
    AmendEntries controller = ControllerValuesOf(amendFile);
    if (controller.size() < 2)
        return false;
    std::string text = FormatEntries(controller);
    if (WriteWholeFile(listing, text.data(), text.size()))
        return true;
    RemoveFile(listing);
    return false;
}

namespace {
std::string LastComponent(const std::string& dir)
{
    size_t slash = dir.find_last_of('\\');
    return slash == std::string::npos ? dir : dir.substr(slash + 1);
}

// Every "tornelix.dat" (any letter case) below root, in enumeration order;
// the amend.dat files met on the way into amendFiles.
void FindDataFiles(const std::string& root, ParameterSession& session, PathList& amendFiles)
{
    ForEachEntry(root, "*.*", [&](const DirectoryEntry& entry) {
        std::string full = JoinPath(root, entry.name);
        if (full.empty() || entry.IsReparsePoint())
            return true; // what a link leads to is not the product's
        if (entry.IsDirectory()) {
            FindDataFiles(full, session, amendFiles);
        } else if (IsParameterDataFileName(entry.name)) {
            session.reserveQuestion += LastComponent(root) + "\n";
            session.configurations.push_back(full);
        } else if (IsAmendFileName(entry.name)) {
            amendFiles.push_back(full);
        }
        return true;
    });
}

// Saves one configuration's controller values as its amend file; false when
// they could not be read or the amend file could not be written whole.
bool SaveConfiguration(ParameterSession& session, const std::string& dataFile)
{
    if (IsAmendFile(dataFile)) {
        std::string name = LastComponent(dataFile.substr(0, dataFile.find_last_of('\\')));
        return SaveAmendValues(dataFile, JoinPath(session.paramWorkDir, name + "_amend.dat"));
    }
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
// not merge) and named to the user must
// not be emptied or overwritten by this run: it moves to "<dir>.1" beside it.
// One earlier copy is kept, the newest: a copy on every run would fill a
// machine updated for years.
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
    PathList amendFiles;
    FindDataFiles(JoinPath(DataProductDir(), "config"), session, amendFiles);
    FindDataFiles(JoinPath(ProductDir(), "config"), session, amendFiles);
    // After an update the data files are purged and the merged amend.dat is
    // all that holds the machine's values, until the control program starts
    // and writes its data file again: a configuration without a data file is
    // carried from its amend.dat. The program tree's, where the merge wrote,
    // wins over the data tree's of the same name; one without a value is
    // nothing to carry (a release as shipped has values, a first install none).
    std::vector<std::string> withData;
    for (const std::string& dataFile : session.configurations)
        withData.push_back(ConfigurationName(dataFile));
    PathList fromAmend;
    for (const std::string& amend : amendFiles) {
        std::string name = ConfigurationName(amend);
        if (std::find(withData.begin(), withData.end(), name) != withData.end() ||
            ControllerValuesOf(amend).size() < 2)
            continue;
        auto same = std::find_if(fromAmend.begin(), fromAmend.end(),
                                 [&](const std::string& earlier) { return ConfigurationName(earlier) == name; });
        if (same != fromAmend.end())
            *same = amend;
        else
            fromAmend.push_back(amend);
    }
    for (const std::string& amend : fromAmend) {
        session.reserveQuestion += ConfigurationName(amend) + "\n";
        session.configurations.push_back(amend);
    }
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
    session.notCarried.clear();
    for (const auto& dataFile : session.configurations)
        if (!SaveConfiguration(session, dataFile)) {
            lost += ConfigurationName(dataFile) + "\n";
            session.notCarried.emplace_back(ConfigurationName(dataFile), dataFile);
        }
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

bool RestoreDataTree(InstallPort& ui)
{
    std::string live = WithoutTrailingBackslash(DataProductDir());
    DataTreeHome home = BringSavedDataTreeHome(live);
    if (home.notMoved.empty())
        return true;
    // What stays in the set-aside copy is the only copy of it: named, never
    // deleted (the clean-up after the update tries once more).
    TraceMessage("|E|RestoreSavedFiles: %s not restored whole to %s (%u files stay)", home.copy.c_str(), live.c_str(),
                 static_cast<unsigned>(home.notMoved.size()));
    WriteLogLine("数据文件未能全部恢复，保存的文件保留在" + home.copy);
    ui.ShowMessage(StrPrintf(LocalText(MsgRestoreIncomplete), live.c_str(), home.copy.c_str()), MB_OK);
    return false;
}
