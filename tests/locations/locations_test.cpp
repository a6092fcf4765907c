#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

#include "locations/Locations.h"
#include "support/TempTree.h"

// The simulated controller PC: program files on C:, data on the fixed drive D:.
class Locations : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // DataRoot is fixed at first use, which also marks it hidden.
        MakeDirs("D:\\Velko");
        SetFileAttributesA("D:\\Velko", FILE_ATTRIBUTE_NORMAL);
        ASSERT_EQ(DataRoot(), "D:\\Velko\\");
    }
    void SetUp() override
    {
        MakeDirs(InstallRoot().substr(0, InstallRoot().size() - 1));
        DeleteFileA(SetupCfg().c_str());
    }
    void TearDown() override { DeleteFileA(SetupCfg().c_str()); }
    static std::string SetupCfg() { return InstallRoot() + "setup.cfg"; }
    static void WriteSetupCfg(const std::string& path) { WriteText(SetupCfg(), "[Settings]\r\nPath=" + path + "\r\n"); }
};

TEST_F(Locations, RootsAreTheLongProgramFilesFolderAndTheOtherFixedDrive)
{
    char folder[MAX_PATH] = {0};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_PROGRAM_FILESX86, FALSE));
    EXPECT_EQ(InstallRoot(), std::string(folder) + "\\Velko\\");
    EXPECT_EQ(InstallRoot(), "C:\\Program Files (x86)\\Velko\\");
    EXPECT_EQ(DataRoot(), "D:\\Velko\\");
    EXPECT_TRUE(GetFileAttributesA("D:\\Velko") & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(TempSaveDir(), "D:\\TorneLixTemp\\");
}

TEST_F(Locations, DriveScanSkipsTheProgramDriveAndNonFixedDrives)
{
    char letter = 'A';
    ASSERT_TRUE(FindOtherFixedDrive(&letter, 'c'));
    EXPECT_EQ(letter, 'D');
    letter = 'A';
    ASSERT_TRUE(FindOtherFixedDrive(&letter, 'D'));
    EXPECT_EQ(letter, 'C');
    // The scan starts at the given letter: past D: only the host's Z: is fixed.
    letter = 'E';
    ASSERT_TRUE(FindOtherFixedDrive(&letter, 'C'));
    EXPECT_EQ(letter, 'Z');
    letter = 'E';
    EXPECT_FALSE(FindOtherFixedDrive(&letter, 'Z'));
    EXPECT_EQ(letter, 'E') << "the letter is written back only on success";
}

TEST_F(Locations, WithoutSetupCfgTheProductFallsBackToTheRoots)
{
    EXPECT_EQ(ProductDirName(), "");
    EXPECT_EQ(ProductDir(), InstallRoot());
    EXPECT_EQ(DataProductDir(), "D:\\Velko\\");
    EXPECT_EQ(BootDir(), "D:\\Velko\\Boot\\");
    EXPECT_EQ(BootIni(), "D:\\Velko\\Boot\\Boot.ini");
    EXPECT_EQ(FirstRunPath(), InstallRoot() + "FirstRun.exe");
}

TEST_F(Locations, RelativeSetupCfgPathNamesTheProductDirectory)
{
    WriteSetupCfg("TorneLix\\");
    EXPECT_EQ(ProductDirName(), "TorneLix");
    EXPECT_EQ(ProductDir(), InstallRoot() + "TorneLix\\");
    EXPECT_EQ(PackupIni(), InstallRoot() + "TorneLix\\Packup.ini");
    EXPECT_EQ(DataProductDir(), "D:\\Velko\\TorneLix\\");
    EXPECT_EQ(UserIni(), "D:\\Velko\\TorneLix\\user.ini");
}

TEST_F(Locations, AbsoluteSetupCfgPathReplacesTheRoots)
{
    WriteSetupCfg("E:\\Cnc");
    EXPECT_EQ(ProductDir(), "E:\\Cnc\\");
    EXPECT_EQ(DataProductDir(), "E:\\Cnc\\");
}

TEST_F(Locations, ActiveLanguageComesFromUserIniThenLangIni)
{
    WriteSetupCfg("TorneLix");
    TempTree product(InstallRoot() + "TorneLix");
    TempTree data("D:\\Velko\\TorneLix");
    product.File("lang\\lang.ini", "[ActiveLang]\r\nActiveLang=chn\r\n");
    data.File("user.ini", "[ActiveLang]\r\nOther=1\r\n");
    EXPECT_EQ(ActiveLangName(), "chn");
    EXPECT_EQ(LangDir(), InstallRoot() + "TorneLix\\lang\\chn");
    data.File("user.ini", "[ActiveLang]\r\nActiveLang=eng\r\n");
    EXPECT_EQ(ActiveLangName(), "eng");
}

TEST_F(Locations, ActiveConfigDirNeedsBothValues)
{
    WriteSetupCfg("TorneLix");
    TempTree product(InstallRoot() + "TorneLix");
    std::string dir = "unchanged";
    EXPECT_FALSE(ActiveConfigDir(dir)) << "no Config directory";
    product.File("Config\\Config.ini",
                 "[ActiveConfig]\r\nActiveGenerateBaseDir=D:\\Velko\\TorneLix\\config\r\nActiveGeneratePath=\r\n");
    EXPECT_FALSE(ActiveConfigDir(dir));
    EXPECT_EQ(dir, "unchanged");
    product.File("Config\\Config.ini", "[ActiveConfig]\r\nActiveGenerateBaseDir=D:\\Velko\\TorneLix\\config\r\n"
                                       "ActiveGeneratePath=Mill\r\n");
    ASSERT_TRUE(ActiveConfigDir(dir));
    EXPECT_EQ(dir, "D:\\Velko\\TorneLix\\config\\Mill\\");
}

TEST_F(Locations, WriteFilterNeedsBothManagerAndDriver)
{
    char system[MAX_PATH] = {0};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, system, CSIDL_SYSTEM, FALSE));
    std::string manager = std::string(system) + "\\ewfmgr.exe";
    std::string driver = std::string(system) + "\\drivers\\ewf.sys";
    DeleteFileA(manager.c_str());
    DeleteFileA(driver.c_str());
    CreateDirectoryA((std::string(system) + "\\drivers").c_str(), nullptr);
    EXPECT_FALSE(IsWriteFilterSystem());
    WriteText(manager, "MZ");
    EXPECT_FALSE(IsWriteFilterSystem()) << "ewfmgr.exe without drivers\\ewf.sys";
    WriteText(driver, "sys");
    EXPECT_TRUE(IsWriteFilterSystem());
    DeleteFileA(manager.c_str());
    EXPECT_FALSE(IsWriteFilterSystem());
    DeleteFileA(driver.c_str());
}
