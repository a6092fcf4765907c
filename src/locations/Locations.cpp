#include "locations/Locations.h"

#include <cctype>
#include <functional>
#include <vector>

#include "platform/MultiByte.h"
#include "platform/NameEscape.h"
#include "platform/Process.h"
#include "platform/Profile.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"
#include "locations/TempLocations.h"

namespace {
// The kept roots are function-local so that they are usable during static
// initialisation (the application object computes them before main runs).
std::string& KeptInstallRoot()
{
    static std::string root;
    return root;
}
std::string& KeptDataRoot()
{
    static std::string root;
    return root;
}
bool g_dataRootDone = false;
// What a path buffer of the system holds, its terminator included.
const size_t kPathBufferSize = 260;

} // namespace

std::string InstallRoot()
{
    std::string& kept = KeptInstallRoot();
    if (!kept.empty())
        return kept;
    std::string folder = SpecialFolderPath(SpecialFolder::programFilesX86, true);
    if (folder.empty())
        folder = SpecialFolderPath(SpecialFolder::programFiles, true);
    std::string root = LongPathOf(folder) + "\\Velko\\";
    if (root.size() < kPathBufferSize)
        kept = root;
    return root;
}

bool FindOtherFixedDrive(char* letter, char skipLetter)
{
    char skip = static_cast<char>(toupper(static_cast<unsigned char>(skipLetter)));
    char current = *letter;
    if (current < 'A' || current > 'Z')
        return false;
    for (char fixed : FixedDriveLetters()) {
        if (fixed >= current && fixed != skip) {
            *letter = fixed;
            return true;
        }
    }
    return false;
}

std::string DataRoot()
{
    std::string& kept = KeptDataRoot();
    if (g_dataRootDone)
        return kept;
    std::string install = InstallRoot();
    char installLetter = install.empty() ? '\0' : install[0];
    char letter = 'A';
    if (!FindOtherFixedDrive(&letter, installLetter))
        letter = installLetter;
    kept = std::string(1, letter) + ":\\Velko\\";
    HideFile(kept);
    g_dataRootDone = true;
    return kept;
}

// On the data tree's drive: a fixed D: on a PC that has no D:, or has lost
// it, would make the save of the data tree fail, and state 5 then deletes the
// only copy of the user's files.
std::string TempSaveDir()
{
    std::string data = DataRoot();
    if (data.size() < 2 || data[1] != ':')
        return "D:\\TorneLixTemp\\";
    return data.substr(0, 2) + "\\TorneLixTemp\\";
}

std::string PreviousReleaseRootFor(const std::string& path)
{
    auto driveOf = [](const std::string& p) {
        return p.size() >= 2 && p[1] == ':' ? static_cast<char>(toupper(static_cast<unsigned char>(p[0]))) : 0;
    };
    char drive = driveOf(path);
    for (const std::string& root : {InstallRoot(), DataRoot()})
        if (drive && driveOf(root) == drive)
            return WithoutTrailingBackslash(root) + ".previous";
    return std::string(1, drive ? drive : 'C') + ":\\TorneLix.previous";
}

std::string ProductDirName()
{
    return WithoutOneBackslash(ProfileGetString(JoinPath(InstallRoot(), "setup.cfg"), "Settings", "Path"));
}

std::string ProductDir() { return WithBackslash(JoinPath(InstallRoot(), ProductDirName())); }
std::string DataProductDir() { return WithBackslash(JoinPath(DataRoot(), ProductDirName())); }
std::string BootDir() { return JoinPath(DataRoot(), "Boot\\"); }
std::string BootIni() { return JoinPath(BootDir(), "Boot.ini"); }
std::string SetupLogPath() { return JoinPath(BootDir(), "SetUp.log"); }
// On the program drive, where only administrators write; on a write-filter
// system beside the data root instead: the filter drops what was written to
// its volume at a cut, and the records must outlive the cut as the data
// drive's moves do.
std::string RecordsDir()
{
    std::string root = IsWriteFilterSystem() ? DataRoot() : InstallRoot();
    return WithoutTrailingBackslash(root) + ".records\\";
}
std::string JournalFilePath() { return JoinPath(RecordsDir(), "SetUp.journal"); }
std::string KeptRecordFilePath() { return JoinPath(RecordsDir(), "SetUp.kept"); }
std::string SwapRecordFilePath() { return JoinPath(RecordsDir(), "SetUp.swap"); }
std::string LaidRecordFilePath() { return JoinPath(RecordsDir(), "SetUp.laid"); }
std::string TrustedRunStatePath() { return JoinPath(RecordsDir(), "SetupState.ini"); }
std::string StagingRoot() { return WithoutTrailingBackslash(InstallRoot()) + ".staged"; }
std::string StageRecordFilePath() { return JoinPath(RecordsDir(), "SetUp.staged"); }
std::vector<std::string> FormerRecordPaths()
{
    std::vector<std::string> paths;
    for (const char* name : {"SetUp.journal", "SetUp.kept", "SetUp.swap"})
        for (const char* suffix : {"", ".new"})
            paths.push_back(JoinPath(BootDir(), std::string(name) + suffix));
    return paths;
}
std::string RunStateFilePath() { return JoinPath(BootDir(), "SetupState.ini"); }
std::string UserIni() { return JoinPath(DataProductDir(), "user.ini"); }
std::string PackupIni() { return JoinPath(ProductDir(), "Packup.ini"); }
std::string FirstRunPath() { return JoinPath(InstallRoot(), "FirstRun.exe"); }

std::string ConfigFormatFile(const std::string& configDir)
{
    std::string own = JoinPath(configDir, "tornelix.fmt");
    return PathExists(own) ? own : JoinPath(ProductDir(), "tornelix.fmt");
}

std::string LangIni() { return JoinPath(ProductDir(), "Lang\\Lang.ini"); }

std::string ActiveLangName()
{
    std::string name = ProfileGetString(UserIni(), "ActiveLang", "ActiveLang");
    if (!name.empty())
        return name;
    return ProfileGetString(LangIni(), "ActiveLang", "ActiveLang");
}

std::string LangDir()
{
    std::string dir = JoinPath(ProductDir(), "lang\\");
    if (dir.empty())
        return std::string();
    std::string langDir = JoinPath(dir, ActiveLangName());
    return langDir.empty() ? dir : langDir;
}

std::string WizardsDir() { return "D:\\NcFiles\\Wizards"; }

std::string WriteFilterDataTree() { return "C:\\Velko"; }

bool ActiveConfigDir(std::string& dir)
{
    std::string configDir = InstallRoot() + ProductDirName() + "\\Config\\";
    if (!IsDirectory(configDir))
        return false;
    std::string ini = configDir + "Config.ini";
    if (!PathExists(ini))
        return false;
    std::string base = ProfileGetString(ini, "ActiveConfig", "ActiveGenerateBaseDir");
    if (base.empty())
        return false;
    std::string path = ProfileGetString(ini, "ActiveConfig", "ActiveGeneratePath");
    if (path.empty())
        return false;
    dir = base + "\\" + path + "\\";
    return true;
}

bool IsWriteFilterSystem()
{
    std::string system = WithBackslash(SpecialFolderPath(SpecialFolder::system, false));
    return PathExists(system + "ewfmgr.exe") && PathExists(system + "drivers\\ewf.sys");
}

bool IsPackupSet() { return ProfileGetInt(PackupIni(), "Operation", "Packup", 0) != 0; }

namespace {
PathNameRules SystemPathNameRules()
{
    PathNameRules rules;
    rules.isLeadByte = IsMultiByteLead;
    rules.lower = LowerMultiByte;
    return rules;
}

const ProtectedFolders& SystemProtectedFolders()
{
    static const ProtectedFolders folders = {WindowsDirectory(), SystemFolders()};
    return folders;
}

// The protected folders in the spelling of resolve (their long form, their
// final path); a folder that does not resolve is left out.
ProtectedFolders ResolvedFolders(const std::function<std::string(const std::string&)>& resolve)
{
    const ProtectedFolders& system = SystemProtectedFolders();
    ProtectedFolders out;
    out.windows = resolve(system.windows);
    for (const std::string& folder : system.folders) {
        std::string resolved = resolve(folder);
        if (!resolved.empty())
            out.folders.push_back(resolved);
    }
    return out;
}
const ProtectedFolders& LongProtectedFolders()
{
    static const ProtectedFolders folders = ResolvedFolders(LongFullPathOf);
    return folders;
}
const ProtectedFolders& FinalProtectedFolders()
{
    static const ProtectedFolders folders = ResolvedFolders(FinalDirectoryPathOf);
    return folders;
}

// The protections once more on where the product trees really lead: a short
// 8.3 spelling or a link on the way must not carry them past the text check.
// In long form a relative Path still leads strictly below its roots; behind
// links (the final path) a tree may lie anywhere that is no root and no
// protected folder: a product tree that is itself a link elsewhere is the
// shop's choice, and the walks leave links in place.
TreeRefusal CheckResolvedTrees(bool relative)
{
    PathNameRules rules = SystemPathNameRules();
    const std::string trees[2][2] = {{ProductDir(), InstallRoot()}, {DataProductDir(), DataRoot()}};
    std::vector<std::string> longRoots, finalRoots;
    for (const auto& pair : trees) {
        longRoots.push_back(LongFullPathOf(pair[1]));
        std::string finalRoot = FinalDirectoryPathOf(pair[1]);
        if (!finalRoot.empty())
            finalRoots.push_back(finalRoot);
    }
    for (int i = 0; i < 2; ++i) {
        TreeRefusal refusal = CheckResolvedProductTree(LongFullPathOf(trees[i][0]), longRoots[i], longRoots, relative,
                                                       LongProtectedFolders(), rules);
        if (refusal != TreeRefusal::None)
            return refusal;
        std::string finalTree = FinalDirectoryPathOf(trees[i][0]);
        if (finalTree.empty())
            continue;
        refusal = CheckResolvedProductTree(finalTree, std::string(), finalRoots, false, FinalProtectedFolders(), rules);
        if (refusal != TreeRefusal::None)
            return refusal;
    }
    return TreeRefusal::None;
}
} // namespace

ProductTreeVerdict CheckInstalledProductTrees()
{
    ProductTreeVerdict verdict;
    verdict.setupCfg = JoinPath(InstallRoot(), "setup.cfg");
    verdict.pathValue = ProfileGetString(verdict.setupCfg, "Settings", "Path");
    PathNameRules rules = SystemPathNameRules();
    verdict.refusal =
        CheckProductTrees(verdict.pathValue, InstallRoot(), DataRoot(), SystemProtectedFolders(), rules);
    if (verdict.refusal != TreeRefusal::None || verdict.pathValue.empty())
        return verdict;
    // What the steps will really use must be what was checked.
    if (NormalWindowsPath(ProductDir(), rules) != ProductTreeOf(verdict.pathValue, InstallRoot(), rules) ||
        NormalWindowsPath(DataProductDir(), rules) != ProductTreeOf(verdict.pathValue, DataRoot(), rules))
        verdict.refusal = TreeRefusal::Unclear;
    else
        verdict.refusal = CheckResolvedTrees(!IsAbsolutePathValue(verdict.pathValue));
    return verdict;
}

ProductTreeVerdict CheckProductTreesOf(const std::string& setupCfg)
{
    ProductTreeVerdict verdict;
    verdict.setupCfg = setupCfg;
    verdict.pathValue = ProfileGetString(setupCfg, "Settings", "Path");
    verdict.refusal =
        CheckProductTrees(verdict.pathValue, InstallRoot(), DataRoot(), SystemProtectedFolders(), SystemPathNameRules());
    return verdict;
}

bool IsProtectedFromDeletion(const std::string& directory)
{
    // As written, in long form (an 8.3 spelling) and behind links: each must
    // pass. A directory whose long form cannot be made is refused.
    PathNameRules rules = SystemPathNameRules();
    if (IsProtectedDirectory(FullPathName(directory), SystemProtectedFolders(), rules) ||
        IsProtectedDirectory(LongFullPathOf(directory), LongProtectedFolders(), rules))
        return true;
    std::string finalPath = FinalDirectoryPathOf(directory);
    return !finalPath.empty() && IsProtectedDirectory(finalPath, FinalProtectedFolders(), rules);
}

std::string ProgramRunningFromInstallation()
{
    PathNameRules rules = SystemPathNameRules();
    std::vector<std::string> trees;
    // A Path that the check refuses may name anything ("\\" the whole drive):
    // then only the installation directory counts, and state 1 refuses it.
    std::vector<std::string> dirs = {InstallRoot()};
    if (CheckInstalledProductTrees().refusal == TreeRefusal::None)
        dirs.push_back(ProductDir());
    for (const std::string& dir : dirs) {
        std::string normal = NormalWindowsPath(LongFullPathOf(dir), rules);
        if (!normal.empty())
            trees.push_back(normal);
    }
    for (const std::string& image : OtherProcessImagePaths()) {
        std::string normal = NormalWindowsPath(LongFullPathOf(image), rules);
        for (const std::string& tree : trees)
            if (IsStrictlyBelow(normal, tree))
                return image;
    }
    return std::string();
}

bool IsPlainDrivePath(const std::string& path)
{
    if (path.size() < 3 || !isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || path[2] != '\\')
        return false;
    std::string part;
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            // A trailing backslash ends the path; two in a row or a dotted part do not.
            if (part.empty() ? i != path.size() - 1 && i != path.size() : part == "." || part == "..")
                return false;
            part.clear();
            continue;
        }
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsMultiByteLead(c) && i + 1 < path.size()) {
            part.append(path, i++, 2); // a trail byte is never a separator or a reserved character
            continue;
        }
        if (size_t escape = NameCharacterEscapeAt(path, i)) {
            part.append(path, i, escape);
            i += escape - 1;
            continue;
        }
        if (c < 32 || std::string("/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos)
            return false;
        part.push_back(static_cast<char>(c));
    }
    return true;
}

bool IsWithinOwnTrees(const std::string& path)
{
    if (!IsPlainDrivePath(path))
        return false;
    // The saved copy of the data tree and its one earlier copy beside it.
    std::string saved = WithoutTrailingBackslash(TempSaveDir());
    for (const std::string& tree : {InstallRoot(), DataRoot(), PreviousReleaseRootFor(InstallRoot()),
                                    PreviousReleaseRootFor(DataRoot()), StagingRoot(), WizardsDir(), WriteFilterDataTree(), saved,
                                    saved + ".1"})
        if (IsSelfOrWithin(path, tree))
            return true;
    std::string temp = TempPath();
    return !temp.empty() && IsStrictlyWithin(path, temp);
}
