#include <gtest/gtest.h>

#include <algorithm>
#include <windows.h>
#include <shlobj.h>

#include "deploy/FileTree.h"
#include "locations/Locations.h"
#include "locations/TempLocations.h"
#include "platform/MultiByte.h"
#include "platform/SystemInfo.h"
#include "support/TempTree.h"

namespace {
const char* kC = "C:\\tlx_tree";
const char* kD = "D:\\tlx_tree";
// The trees the setup may delete in include the temporary directory.
std::string OwnTree() { return TempPath() + "tlx_tree"; }

std::vector<std::string> Names(const PathList& list, const std::string& root)
{
    std::vector<std::string> names;
    for (const auto& p : list)
        names.push_back(p.substr(root.size() + 1));
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

TEST(DeleteTree, RemovesATreeWithReadOnlyHiddenFilesAndTrailingBackslash)
{
    TempTree tree(OwnTree());
    std::string ro = tree.File("a\\b\\readonly.dat");
    std::string hidden = tree.File("a\\hidden.txt");
    SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    tree.Dir("empty");
    EXPECT_TRUE(DeleteTree(tree / "a\\"));
    EXPECT_FALSE(Exists(tree / "a"));
    EXPECT_TRUE(DeleteTree(tree / "empty"));
    EXPECT_FALSE(Exists(tree / "empty"));
}

TEST(DeleteTree, MissingDirectoryOrFileGivesFalseAndTouchesNothing)
{
    TempTree tree(OwnTree());
    std::string file = tree.File("plain.txt");
    EXPECT_FALSE(DeleteTree(tree / "missing"));
    EXPECT_FALSE(DeleteTree(file));
    EXPECT_TRUE(Exists(file));
}

TEST(DeleteTree, AFileHeldOpenStopsTheWalkAndKeepsWhatItHadNotReached)
{
    TempTree tree(OwnTree());
    std::string held = tree.File("top\\held.dat");
    HANDLE h = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteTree(tree / "top"));
    EXPECT_TRUE(Exists(held));
    EXPECT_TRUE(Exists(tree / "top"));
    CloseHandle(h);
    EXPECT_TRUE(DeleteTree(tree / "top"));
}

TEST(DeleteTree, NeverWipesOutsideTheProductsOwnTrees)
{
    // A record on the data drive may name any folder: none outside the
    // product's trees, their set-aside roots and the temporary directory is wiped.
    TempTree other(kC);
    std::string file = other.File("parts\\p1.nc");
    EXPECT_FALSE(DeleteTree(other.Root()));
    EXPECT_FALSE(DeleteTree(InstallRoot() + "..\\..\\tlx_tree")) << "a path that climbs out";
    EXPECT_TRUE(Exists(file));
}

TEST(DeleteTree, NeverWipesADriveRootOrASystemFolder)
{
    // Inside the Windows directory: refused like the directory itself, and
    // harmless to try should the refusal fail.
    TempTree probe(WindowsDirectory() + "\\tlx_tree");
    std::string file = probe.File("keep\\keep.txt");
    EXPECT_FALSE(DeleteTree(probe.Root()));
    EXPECT_FALSE(DeleteTree(probe / "keep\\"));
    EXPECT_TRUE(Exists(file));
    // Every spelling of the places the wipe must never reach, the folders
    // above them and a relative path that climbs to a drive root.
    char profile[MAX_PATH] = {0};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, profile, CSIDL_PROFILE, FALSE));
    std::string profileDir = profile;
    for (const std::string& dir :
         {std::string("C:\\"), std::string("d:"), std::string("D:\\Velko\\.."), WindowsDirectory(),
          SystemDirectory() + "\\", std::string("c:\\PROGRAM FILES (X86)"), std::string("C:/Program Files"),
          profileDir, profileDir.substr(0, profileDir.rfind('\\')), std::string("..\\..\\..\\..\\..\\..\\..\\..")})
        EXPECT_TRUE(IsProtectedFromDeletion(dir)) << dir;
    // The trees the setup itself removes.
    for (const std::string& dir : {InstallRoot(), DataRoot() + "TorneLix", TempSaveDir(), std::string(kC),
                                   std::string("D:\\NcFiles\\Wizards\\"), profileDir + "\\Temp\\tornleixTemp"})
        EXPECT_FALSE(IsProtectedFromDeletion(dir)) << dir;
}

TEST(DeleteTree, PathsThatCannotFitAreRefusedNotTruncated)
{
    TempTree tree(kC);
    // With "\*" appended this no longer fits in 260 bytes.
    std::string longPath = tree.Root() + "\\" + std::string(259 - tree.Root().size() - 1 - 2 + 1, 'x');
    ASSERT_EQ(longPath.size() + 2, 260u);
    EXPECT_FALSE(DeleteTree(longPath));
    EXPECT_NE(CopyTree(longPath + "xx", tree / "dst"), 0);
    PathList list;
    CollectByName(longPath, "x", list);
    EXPECT_TRUE(list.empty());
}

TEST(CopyTree, MergesTheSourceContentsIntoAnExistingDestination)
{
    TempTree src(kC);
    TempTree dst(kD);
    src.File("cfg\\new.ini", "new");
    src.File("cfg\\same.ini", "from source");
    src.File("cfg\\sub\\deep.txt", "deep");
    dst.File("same.ini", "old");
    dst.File("kept.txt", "kept");
    EXPECT_EQ(CopyTree(src / "cfg", dst.Root()), 0);
    EXPECT_EQ(ReadText(dst / "new.ini"), "new");
    EXPECT_EQ(ReadText(dst / "same.ini"), "from source");
    EXPECT_EQ(ReadText(dst / "sub\\deep.txt"), "deep");
    EXPECT_EQ(ReadText(dst / "kept.txt"), "kept");
    EXPECT_FALSE(Exists(dst / "cfg")) << "contents land in the destination itself";
    // A destination that does not exist yet is created as the copy.
    EXPECT_EQ(CopyTree(src / "cfg", dst / "fresh"), 0);
    EXPECT_EQ(ReadText(dst / "fresh\\sub\\deep.txt"), "deep");
    // An empty source directory leaves an existing destination as it was.
    src.Dir("void");
    EXPECT_EQ(CopyTree(src / "void", dst.Root()), 0);
    EXPECT_EQ(ReadText(dst / "kept.txt"), "kept");
}

TEST(MakeDirectoryPath, CreatesEveryLevelAndStopsAtAMissingDrive)
{
    TempTree tree(kD);
    MakeDirectoryPath(tree / "a\\b\\c");
    EXPECT_TRUE(DirectoryExists(tree / "a\\b\\c"));
    MakeDirectoryPath(tree / "x\\y\\");
    EXPECT_TRUE(DirectoryExists(tree / "x\\y"));
    MakeDirectoryPath("Q:\\nowhere\\at\\all");
    EXPECT_FALSE(DirectoryExists("Q:\\nowhere"));
    // A file in the way stops the walk: nothing below it is created.
    tree.File("blocker");
    MakeDirectoryPath(tree / "blocker\\under\\more");
    EXPECT_FALSE(DirectoryExists(tree / "blocker\\under"));
}

TEST(Collectors, ByNameMatchesTheWholeNameInAnyCaseAtAnyDepth)
{
    TempTree tree(kD);
    tree.File("CONFIG.INI");
    tree.File("sub\\Config.ini");
    tree.File("sub\\config.ini.bak");
    tree.File("other\\config.ini\\inner\\config.ini");
    PathList list;
    CollectByName(tree.Root(), "config.ini", list);
    EXPECT_EQ(Names(list, tree.Root()),
              (std::vector<std::string>{"CONFIG.INI", "other\\config.ini\\inner\\config.ini", "sub\\Config.ini"}));
    CollectByName(tree.Root(), "config.ini", list);
    EXPECT_EQ(list.size(), 6u) << "the list is appended to, never cleared";
    PathList none;
    CollectByName(tree.Root(), "", none);
    CollectByName(tree / "missing", "config.ini", none);
    EXPECT_TRUE(none.empty());
}

TEST(Collectors, FragmentsMatchLowerCasedNamesOnly)
{
    TempTree tree(kD);
    tree.File("Abc.Dyn.DISCARDED");
    tree.File("tornelix.dat");
    tree.File("m\\Tornelix.dat.bak");
    tree.File("tornelix-data.txt");
    tree.File("tornelix.dyn");
    tree.File("config.dat");
    PathList list;
    CollectByFragment(tree.Root(), "discarded", list);
    EXPECT_EQ(Names(list, tree.Root()), (std::vector<std::string>{"Abc.Dyn.DISCARDED"}));
    list.clear();
    CollectByFragment(tree.Root(), "Discarded", list);
    EXPECT_TRUE(list.empty()) << "only the name is lower-cased, never the key";
    CollectByFragments(tree.Root(), "tornelix", "dat", list);
    EXPECT_EQ(Names(list, tree.Root()),
              (std::vector<std::string>{"m\\Tornelix.dat.bak", "tornelix-data.txt", "tornelix.dat"}));
}

TEST(Collectors, DoubleByteNamesCompareWholeCharactersAndNeverMatchOnATrailByte)
{
    ASSERT_EQ(GetACP(), 936u) << "the test bed runs with the Chinese code page";
    TempTree tree(kD);
    tree.File("参数.INI");
    tree.File("ＡＢＣ.txt");   // full-width capitals
    tree.File("乨yn.txt");     // trail byte 0x64 'd' followed by "yn"
    tree.File("丏YN.txt");     // trail byte 0x44 'D': must not be lower-cased
    PathList list;
    CollectByName(tree.Root(), "参数.ini", list);
    EXPECT_EQ(Names(list, tree.Root()), (std::vector<std::string>{"参数.INI"}));
    list.clear();
    CollectByName(tree.Root(), "ａｂｃ.TXT", list);
    EXPECT_EQ(Names(list, tree.Root()), (std::vector<std::string>{"ＡＢＣ.txt"}));
    list.clear();
    CollectByFragment(tree.Root(), "dyn", list);
    EXPECT_TRUE(list.empty()) << (list.empty() ? "" : list[0]);
    CollectByFragment(tree.Root(), "ａｂｃ", list);
    EXPECT_EQ(list.size(), 1u);
    EXPECT_EQ(LowerMultiByte("丏YN"), "丏yn");
    EXPECT_FALSE(ContainsMultiByte("乨yn", "dyn"));
    EXPECT_TRUE(ContainsMultiByte("a乨dyn", "dyn"));
}
