// Where an opened file really is, judged from final paths (FinalPath), and,
// natively, the writes that refuse a link on the way (LinkGuard; under Wine
// the e2e case links.sh plants the links).
#include <gtest/gtest.h>

#include "platform/File.h"
#include "platform/FinalPath.h"
#include "platform/LinkGuard.h"
#include "platform/TempDirectory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

TEST(FinalPath, AllowsAnEntryOfTheFolderHoweverTheSystemSpellsIt)
{
    // The forms GetFinalPathNameByHandleW gives, and the folder with or
    // without its trailing backslash and prefix.
    EXPECT_TRUE(FinalPathIsWithin("\\\\?\\D:\\Velko\\Boot\\SetUp.log", "\\\\?\\D:\\Velko\\Boot"));
    EXPECT_TRUE(FinalPathIsWithin("\\\\?\\D:\\Velko\\Boot\\SetUp.log", "D:\\Velko\\Boot\\"));
    EXPECT_TRUE(FinalPathIsWithin("\\\\?\\d:\\VELKO\\boot\\SetUp.log", "\\\\?\\D:\\Velko\\Boot\\"));
    EXPECT_TRUE(FinalPathIsWithin("\\\\?\\D:\\Velko\\Boot\\sub\\x.txt", "\\\\?\\D:\\Velko\\Boot"));
    EXPECT_TRUE(FinalPathIsWithin("\\\\?\\UNC\\server\\share\\Boot\\SetUp.log", "\\\\?\\unc\\SERVER\\share\\Boot"));
    EXPECT_TRUE(FinalPathIsWithin("\\\\?\\UNC\\server\\share\\Boot\\SetUp.log", "\\\\server\\share\\Boot"));
    EXPECT_TRUE(FinalPathIsWithin("\\\\?\\D:\\SetUp.log", "\\\\?\\D:\\"));
    EXPECT_TRUE(FinalPathIsWithin("\\\\?\\D:\\启动\\SetUp.log", "D:\\启动"));

    EXPECT_TRUE(FinalPathIsEntry("\\\\?\\D:\\Velko\\Boot\\SETUP.LOG", "\\\\?\\D:\\Velko\\Boot", "SetUp.log"));
    EXPECT_EQ(FinalPathKey("\\\\?\\UNC\\Server\\Share\\"), "\\\\server\\share");
    EXPECT_EQ(FinalPathKey("\\\\?\\C:\\"), "c:");
}

TEST(FinalPath, RefusesWhatLiesElsewhereOrIsNoFinalPath)
{
    // A link led the file elsewhere: the system directory, the folder's
    // parent, a sibling whose name only begins like the folder's.
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\C:\\Windows\\System32\\SetUp.log", "\\\\?\\D:\\Velko\\Boot"));
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\D:\\Velko\\SetUp.log", "\\\\?\\D:\\Velko\\Boot"));
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\C:\\Boot2\\SetUp.log", "\\\\?\\C:\\Boot"));
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\C:\\Boot2", "C:\\Boot"));
    // The folder itself is not within it; another share or drive is not.
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\D:\\Velko\\Boot\\", "\\\\?\\D:\\Velko\\Boot"));
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\UNC\\server\\share2\\Boot\\x", "\\\\server\\share"));
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\E:\\Velko\\Boot\\SetUp.log", "\\\\?\\D:\\Velko\\Boot"));
    // No final path has "." or ".." parts or doubled backslashes, nor is empty.
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\D:\\Velko\\Boot\\..\\..\\Windows\\x", "\\\\?\\D:\\Velko\\Boot"));
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\D:\\Velko\\Boot\\.\\x", "\\\\?\\D:\\Velko\\Boot"));
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\D:\\Velko\\Boot\\\\x", "\\\\?\\D:\\Velko\\Boot"));
    EXPECT_FALSE(FinalPathIsWithin("", "\\\\?\\D:\\Velko\\Boot"));
    EXPECT_FALSE(FinalPathIsWithin("\\\\?\\D:\\Velko\\Boot\\x", ""));

    // An entry is the file of that name one level below, nothing else: a
    // link "SetUp.log" to another file of the folder is not its entry.
    EXPECT_FALSE(FinalPathIsEntry("\\\\?\\D:\\Velko\\Boot\\SetupState.ini", "\\\\?\\D:\\Velko\\Boot", "SetUp.log"));
    EXPECT_FALSE(FinalPathIsEntry("\\\\?\\D:\\Velko\\Boot\\sub\\SetUp.log", "\\\\?\\D:\\Velko\\Boot", "SetUp.log"));
    EXPECT_FALSE(FinalPathIsEntry("\\\\?\\D:\\Velko\\Boot2\\SetUp.log", "\\\\?\\D:\\Velko\\Boot", "SetUp.log"));
}

#ifndef _WIN32
namespace {
std::string Scratch(const std::string& name)
{
    std::string dir = SystemTempDirectory() + "tlx_linkguard_" + name;
    std::string cmd = "rm -rf '" + dir + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
    return dir;
}
} // namespace

TEST(LinkGuard, RefusesToWriteThroughALinkAndWritesWhereThereIsNone)
{
    std::string base = Scratch("write");
    std::string real = base + "/real", target = base + "/system";
    ASSERT_EQ(mkdir(base.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(real.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    ASSERT_TRUE(WriteWholeFile(target + "/kernel.dll", "system", 6));
    ASSERT_EQ(symlink(target.c_str(), (base + "/boot").c_str()), 0);
    ASSERT_EQ(symlink((target + "/kernel.dll").c_str(), (real + "/file-link.log").c_str()), 0);
    ASSERT_EQ(link((target + "/kernel.dll").c_str(), (real + "/hard-link.log").c_str()), 0);

    BinaryFile file;
    FileError error(FileError::none, 0, "");
    const unsigned write = BinaryFile::modeCreate | BinaryFile::modeWrite | BinaryFile::modeNoLinks;
    EXPECT_FALSE(file.Open(base + "/boot/SetUp.log", write, &error));
    EXPECT_EQ(error.m_cause, FileError::linkRefused);
    EXPECT_EQ(error.m_fileName, base + "/boot");
    EXPECT_FALSE(file.Open(real + "/file-link.log", write, &error));
    EXPECT_EQ(error.m_cause, FileError::linkRefused);
    EXPECT_FALSE(file.Open(real + "/hard-link.log", write, &error));
    EXPECT_EQ(error.m_cause, FileError::linkRefused);
    std::string refused;
    EXPECT_FALSE(ReplaceFileWithoutLinks(base + "/boot/kernel.dll", "state", &refused));
    EXPECT_EQ(refused, base + "/boot");
    EXPECT_FALSE(RemoveFileWithoutLinks(base + "/boot/kernel.dll"));
    EXPECT_FALSE(FileExists(target + "/SetUp.log"));
    EXPECT_FALSE(FileExists(target + "/kernel.dll.new"));
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(ReadWholeFile(target + "/kernel.dll", bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "system");

    ASSERT_TRUE(file.Open(real + "/SetUp.log", write, &error));
    file.Write("line", 4);
    file.Close();
    EXPECT_TRUE(ReplaceFileWithoutLinks(real + "/SetupState.ini", "state"));
    EXPECT_FALSE(FileExists(real + "/SetupState.ini.new"));
    EXPECT_TRUE(RemoveFileWithoutLinks(real + "/SetUp.log"));
    EXPECT_FALSE(FileExists(real + "/SetUp.log"));
    EXPECT_EQ(LinkOnPath(real + "/SetupState.ini"), "");
    EXPECT_EQ(LinkOnPath(base + "/boot/x"), base + "/boot");
}
#else
// Under Wine no program can plant a link (CreateSymbolicLink does nothing
// there); a hard link it can, and the plain folder must still be written.
TEST(LinkGuard, WritesReplacesAndRemovesInAPlainFolderButNotAHardLinkedFile)
{
    std::string dir = SystemTempDirectory() + "tlx_linkguard";
    CreateDirectoryA(dir.c_str(), nullptr);
    for (const char* name : {"\\SetUp.log", "\\SetupState.ini", "\\SetupState.ini.new", "\\other.dll", "\\hard.log"})
        DeleteFileA((dir + name).c_str());
    const unsigned write = BinaryFile::modeCreate | BinaryFile::modeWrite | BinaryFile::modeNoLinks;
    BinaryFile file;
    FileError error(FileError::none, 0, "");
    ASSERT_TRUE(file.Open(dir + "\\SetUp.log", write, &error)) << error.what();
    file.Write("line", 4);
    file.Close();
    EXPECT_TRUE(ReplaceFileWithoutLinks(dir + "\\SetupState.ini", "state"));
    EXPECT_TRUE(ReplaceFileWithoutLinks(dir + "\\SetupState.ini", "state 2"));
    EXPECT_FALSE(FileExists(dir + "\\SetupState.ini.new"));
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(ReadWholeFile(dir + "\\SetupState.ini", bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "state 2");

    ASSERT_TRUE(WriteWholeFile(dir + "\\other.dll", "system", 6));
    ASSERT_TRUE(CreateHardLinkA((dir + "\\hard.log").c_str(), (dir + "\\other.dll").c_str(), nullptr));
    EXPECT_FALSE(file.Open(dir + "\\hard.log", write, &error));
    EXPECT_EQ(error.m_cause, FileError::linkRefused);
    ASSERT_TRUE(ReadWholeFile(dir + "\\other.dll", bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "system");

    EXPECT_TRUE(RemoveFileWithoutLinks(dir + "\\SetUp.log"));
    EXPECT_FALSE(FileExists(dir + "\\SetUp.log"));
    EXPECT_EQ(LinkOnPath(dir + "\\SetupState.ini"), "");
}
#endif
