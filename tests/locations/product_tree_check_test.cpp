// setup.cfg's Path against the roots of a controller PC: which values keep the
// save and the wipe in the product's own trees, and why the others are refused.
#include <gtest/gtest.h>

#include <string>

#include "locations/ProductTreeCheck.h"

namespace {
const char kInstallRoot[] = "C:\\Program Files (x86)\\Velko\\";
const char kDataRoot[] = "D:\\Velko\\";

ProtectedFolders PcFolders()
{
    return {"C:\\Windows",
            {"C:\\Windows", "C:\\Windows\\system32", "C:\\Windows\\SysWOW64", "C:\\Program Files",
             "C:\\Program Files (x86)", "C:\\Users\\operator"}};
}

TreeRefusal Check(const std::string& path, const PathNameRules& rules = GbkPathNameRules())
{
    return CheckProductTrees(path, kInstallRoot, kDataRoot, PcFolders(), rules);
}

// Code page 1252: no lead bytes.
PathNameRules SingleByteRules()
{
    PathNameRules rules = GbkPathNameRules();
    rules.isLeadByte = [](unsigned char) { return false; };
    return rules;
}
} // namespace

TEST(ProductTreeCheck, PathsThatLeaveTheTreesAreRefusedWithTheirReason)
{
    // The parent of the roots, a drive root, the system, the drive root again.
    EXPECT_EQ(Check("..\\"), TreeRefusal::NotBelowRoot);
    EXPECT_EQ(Check("\\"), TreeRefusal::DriveRoot);
    EXPECT_EQ(Check("C:\\windows\\"), TreeRefusal::SystemFolder);
    EXPECT_EQ(Check("..\\..\\..\\"), TreeRefusal::NotBelowRoot);
    // The roots themselves, and ways back to them.
    EXPECT_EQ(Check("."), TreeRefusal::NotBelowRoot);
    EXPECT_EQ(Check("TorneLix\\.."), TreeRefusal::NotBelowRoot);
    EXPECT_EQ(Check("TorneLix/../.."), TreeRefusal::NotBelowRoot);
    EXPECT_EQ(Check("D:\\Velko"), TreeRefusal::HoldsRoot);
    EXPECT_EQ(Check("c:\\PROGRAM FILES (X86)\\velko\\\\"), TreeRefusal::HoldsRoot);
    EXPECT_EQ(Check("D:\\"), TreeRefusal::DriveRoot);
    EXPECT_EQ(Check("e:/"), TreeRefusal::DriveRoot);
    EXPECT_EQ(Check("\\\\server\\share\\"), TreeRefusal::DriveRoot);
    // System folders in any spelling, the folders above them, and the
    // Windows directory's insides.
    EXPECT_EQ(Check("C:\\WINDOWS\\System32\\.."), TreeRefusal::SystemFolder);
    EXPECT_EQ(Check("c:/windows/temp/cnc"), TreeRefusal::SystemFolder);
    EXPECT_EQ(Check("C:\\Users"), TreeRefusal::SystemFolder);
    EXPECT_EQ(Check("C:\\Users\\Operator\\"), TreeRefusal::SystemFolder);
    EXPECT_EQ(Check("C:\\Program Files"), TreeRefusal::SystemFolder);
    // Values that name no one directory.
    EXPECT_EQ(Check("C:"), TreeRefusal::Unclear);
    EXPECT_EQ(Check("d:cnc"), TreeRefusal::Unclear);
    EXPECT_EQ(Check("\\\\?\\C:\\cnc"), TreeRefusal::Unclear);
    EXPECT_EQ(Check("\\\\.\\C:"), TreeRefusal::Unclear);
    EXPECT_EQ(Check("TorneLix."), TreeRefusal::Unclear);
    EXPECT_EQ(Check("...\\TorneLix"), TreeRefusal::Unclear);
    EXPECT_EQ(Check("TorneLix \\"), TreeRefusal::Unclear);
    EXPECT_EQ(Check("Torne*"), TreeRefusal::Unclear);
    EXPECT_EQ(Check("TorneLix:x"), TreeRefusal::Unclear);
    EXPECT_EQ(Check(std::string(240, 'x')), TreeRefusal::Unclear) << "longer than a path below the roots can be";
}

TEST(ProductTreeCheck, DirectoriesOfTheirOwnPass)
{
    EXPECT_EQ(Check(""), TreeRefusal::None) << "no setup.cfg: the roots, the setup's own trees";
    EXPECT_EQ(Check("TorneLix\\"), TreeRefusal::None);
    EXPECT_EQ(Check("TorneLix"), TreeRefusal::None);
    EXPECT_EQ(Check("Cnc\\TorneLix\\.\\"), TreeRefusal::None);
    EXPECT_EQ(Check("..\\Velko\\TorneLix"), TreeRefusal::None) << "out and back in";
    EXPECT_EQ(Check("E:\\Cnc\\"), TreeRefusal::None);
    EXPECT_EQ(Check("\\Cnc"), TreeRefusal::None) << "C:\\Cnc and D:\\Cnc";
    EXPECT_EQ(Check("C:\\Program Files\\Cnc"), TreeRefusal::None) << "a directory inside program files";
    EXPECT_EQ(Check("\\\\server\\share\\cnc"), TreeRefusal::None);
    EXPECT_EQ(Check("\xCA\xFD\xBF\xD8\\"), TreeRefusal::None) << "a Chinese name";
}

TEST(ProductTreeCheck, ABackslashThatIsASecondByteSeparatesNothing)
{
    // B1 5C is one character in code page 936: "<char>a\.." is the root itself.
    const std::string path = "\xB1\\a\\..";
    EXPECT_EQ(Check(path), TreeRefusal::NotBelowRoot);
    // On a single-byte code page the same bytes are "\xB1\a\..": below the root.
    EXPECT_EQ(Check(path, SingleByteRules()), TreeRefusal::None);
    EXPECT_EQ(ProductTreeOf(path, kDataRoot, SingleByteRules()), "d:\\velko\\\xB1");
    // A lead byte at the end has no character to finish.
    EXPECT_EQ(Check("TorneLix\xB1"), TreeRefusal::Unclear);
    // Upper-case ASCII bytes inside double-byte characters stay as they are.
    EXPECT_EQ(NormalWindowsPath("C:\\\xB1\x41", GbkPathNameRules()), "c:\\\xB1\x41");
}

TEST(ProductTreeCheck, OneSpellingPerDirectory)
{
    PathNameRules gbk = GbkPathNameRules();
    EXPECT_EQ(NormalWindowsPath("C:\\Program Files (x86)\\Velko\\", gbk), "c:\\program files (x86)\\velko");
    EXPECT_EQ(NormalWindowsPath("c:/a//b/./c/../", gbk), "c:\\a\\b");
    EXPECT_EQ(NormalWindowsPath("C:\\..\\..", gbk), "c:\\");
    EXPECT_EQ(NormalWindowsPath("\\\\Server\\Share\\..\\x", gbk), "\\\\server\\share\\x");
    EXPECT_EQ(NormalWindowsPath("TorneLix", gbk), "");
    EXPECT_EQ(NormalWindowsPath("\\TorneLix", gbk), "");
    EXPECT_TRUE(IsStrictlyBelow("c:\\a\\b", "c:\\a"));
    EXPECT_TRUE(IsStrictlyBelow("c:\\a", "c:\\"));
    EXPECT_FALSE(IsStrictlyBelow("c:\\ab", "c:\\a")) << "a name that starts alike";
    EXPECT_FALSE(IsStrictlyBelow("c:\\a", "c:\\a"));
}

TEST(ProductTreeCheck, TreeDeletionRefusesRootsAndSystemFoldersOnly)
{
    PathNameRules gbk = GbkPathNameRules();
    for (const char* dir : {"C:\\", "d:", "D:\\.", "\\\\server\\share", "C:\\Windows", "C:\\windows\\system32\\",
                            "C:\\Windows\\Temp\\x", "C:\\Users", "c:\\program files (x86)", "relative", ""})
        EXPECT_TRUE(IsProtectedDirectory(dir, PcFolders(), gbk)) << dir;
    for (const char* dir : {"C:\\Program Files (x86)\\Velko", "D:\\Velko\\", "D:\\Velko\\TorneLix",
                            "D:\\NcFiles\\Wizards\\", "C:\\Users\\operator\\Temp\\tornleixTemp", "D:\\TorneLixTemp\\"})
        EXPECT_FALSE(IsProtectedDirectory(dir, PcFolders(), gbk)) << dir;
}
