// Saving what must survive a reinstall: the controller values of every
// configuration as text amend files, and the data tree without its parameter
// files; later the saved tree comes back over the new release.
#include "paramsteps/ParameterSteps.h"

#include <windows.h>
#include <shlwapi.h>

#include "locations/Locations.h"
#include "messages/Messages.h"
#include "logs/SetupLog.h"
#include "logs/TraceLog.h"
#include "messages/InstallUi.h"
#include "format/FieldDescriptor.h"
#include "format/StringTable.h"
#include "params/DataFileVerification.h"
#include "params/LocalListingTexts.h"
#include "platform/DirectoryEntries.h"
#include "platform/MessageBox.h"
#include "platform/MultiByte.h"

// The parameter file set: the files that a saved copy of the data tree must
// not bring back, because the new release's own ones must stay in force.
namespace {
const char* const kWholeNames[] = {"tornelix.dyn",     "tornelix.dat",    "tornelix.dat.bak", "tornelix.dyn.bak",
                                   "tornelix.plcbin",  "tornelix.plclst", "config.ini",       "Ncpm.pmt"};
const char* const kFragments[] = {".dyn.discarded", "discarded"};
const char* const kFragmentPairs[][2] = {{"tornelix", "dat"},       {"tornelix", "dat.bak"}, {"tornelix", "discarded"},
                                         {"tornelix", "plcbin"},    {"tornelix", "plclst"}};
const char* const kLastNames[] = {"amend.dat", "tornelix.plc", "public.dat"};

void DeleteListed(const PathList& list)
{
    for (const auto& path : list)
        DeleteFileA(path.c_str());
}

bool IsParameterDataFileName(const std::string& name)
{
    return LowerMultiByte(name) == "tornelix.dat";
}
} // namespace

static void RemoveParameterFileSet(const std::string& root)
{
    PathList list;
    for (const char* name : kWholeNames) {
        list.clear();
        CollectByName(root, name, list);
        DeleteListed(list);
    }
    for (const char* fragment : kFragments) {
        list.clear();
        CollectByFragment(root, fragment, list);
        DeleteListed(list);
    }
    for (const auto& pair : kFragmentPairs) {
        list.clear();
        CollectByFragments(root, pair[0], pair[1], list);
        DeleteListed(list);
    }
    for (const char* name : kLastNames) {
        list.clear();
        CollectByName(root, name, list);
        DeleteListed(list);
    }
}

namespace {
std::string WithoutBackslash(std::string path)
{
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

std::string LastComponent(const std::string& dir)
{
    size_t slash = dir.find_last_of('\\');
    return slash == std::string::npos ? dir : dir.substr(slash + 1);
}

// Every "tornelix.dat" (any letter case) below root, in enumeration order.
void FindDataFiles(const std::string& root, ParameterSession& session)
{
    ForEachEntry(root, "*.*", [&](const DirectoryEntry& entry) {
        std::string full = root + "\\" + entry.name;
        if (entry.IsDirectory()) {
            FindDataFiles(full, session);
        } else if (IsParameterDataFileName(entry.name)) {
            session.reserveQuestion += LastComponent(root) + "\n";
            session.configurations.push_back(full);
        }
        return true;
    });
}

void SaveConfiguration(ParameterSession& session, const std::string& dataFile)
{
    std::vector<unsigned char> block;
    if (!ExtractParameters(dataFile, "CController", block))
        return;
    std::string configDir = dataFile.substr(0, dataFile.find_last_of('\\'));
    std::string name = LastComponent(configDir);
    std::string amendPath = session.paramWorkDir + "\\" + name + "_amend.dat";
    std::string format = ProductDir() + "config\\" + name + "\\tornelix.fmt";
    if (!PathFileExistsA(format.c_str()))
        format = ProductDir() + "tornelix.fmt";

    CFieldDescriptor descriptor(LocalListingTexts());
    DeleteFileA(amendPath.c_str());
    bool described = descriptor.DescribeBlock(amendPath, "CController", block.data(), static_cast<int>(block.size()), format);
    if (described) {
        // One box for each pair of serial numbers out of order; Cancel ends them.
        CSerialNumberCheck check = descriptor.CheckSerialNumbers();
        SerialNumberFinding finding;
        while (check.Next(finding))
            if (ShowMessageBox(finding.message, MB_OKCANCEL | MB_ICONEXCLAMATION) == IDCANCEL)
                break;
    }
    descriptor.Reset();
    if (!described)
        session.ui.ShowMessage(LocalText(MsgReserveFailed), MB_OK);
    ReleaseStringTable();
}
} // namespace

void CollectParameterInfo(ParameterSession& session)
{
    FindDataFiles(DataProductDir() + "\\config", session);
    FindDataFiles(ProductDir() + "config", session);
    if (session.configurations.empty())
        return;
    session.reserveQuestion += LocalText(MsgReserveAsk);
    if (session.ui.ShowMessage(session.reserveQuestion, MB_YESNO) != IDYES)
        return;
    session.transferRequested = 1;
    WriteLogLine("需要进行参数迁移");
    session.recordedProductDirName = ProductDirName();

    DeleteTree(session.paramWorkDir);
    CreateDirectoryA(session.paramWorkDir.c_str(), nullptr);
    for (const auto& dataFile : session.configurations)
        SaveConfiguration(session, dataFile);
}

namespace {
// True when every file below source is below destination with the same size.
bool IsCopiedWhole(const std::string& source, const std::string& destination)
{
    if ((source + "\\*.*").size() >= MAX_PATH)
        return false;
    bool whole = true;
    ForEachEntry(source, "*.*", [&](const DirectoryEntry& entry) {
        std::string from = source + "\\" + entry.name;
        std::string to = destination + "\\" + entry.name;
        if (entry.IsDirectory()) {
            whole = IsCopiedWhole(from, to);
        } else {
            WIN32_FILE_ATTRIBUTE_DATA copy;
            whole = to.size() < MAX_PATH && GetFileAttributesExA(to.c_str(), GetFileExInfoStandard, &copy) &&
                    !(copy.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    ((static_cast<unsigned long long>(copy.nFileSizeHigh) << 32) | copy.nFileSizeLow) == entry.size;
        }
        return whole;
    });
    return whole;
}
} // namespace

bool SaveParameterFiles()
{
    std::string source = WithoutBackslash(DataProductDir());
    std::string destination = WithoutBackslash(TempSaveDir());
    if (!PathFileExistsA(source.c_str()))
        return true;
    MakeDirectoryPath(destination);
    int copied = CopyTree(source, destination, kCopyTreeFlags);
    if (copied != 0 || !IsCopiedWhole(source, destination)) {
        // A full or missing drive: the partial copy must not come back over
        // the originals in state 9, and the originals must not be wiped.
        TraceMessage("|E|SaveParameterFiles: %s not copied whole to %s (%d); the data tree stays in place",
                     source.c_str(), destination.c_str(), copied);
        DeleteTree(destination);
        return false;
    }
    RemoveParameterFileSet(destination);
    return true;
}

void RemoveParameterFilesInPlace()
{
    std::string tree = WithoutBackslash(DataProductDir());
    if (PathIsDirectoryA(tree.c_str()))
        RemoveParameterFileSet(tree);
}

void RestoreSavedFiles()
{
    std::string source = WithoutBackslash(TempSaveDir());
    std::string destination = WithoutBackslash(DataProductDir());
    if (!PathFileExistsA(source.c_str()))
        return;
    if (!PathFileExistsA(destination.c_str()))
        MakeDirectoryPath(destination);
    CopyTree(source, destination, kCopyTreeFlags);
    DeleteTree(TempSaveDir());
}
