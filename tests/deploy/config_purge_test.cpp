#include <gtest/gtest.h>

#include <algorithm>

#include "DeployTestSupport.h"
#include "locations/Locations.h"
#include "deploy/ConfigPurge.h"
#include "platform/Paths.h"

namespace {
const char* const kExampleFiles[] = {
    "Tornelix.dat", "Tornelix.dat.bak", "Tornelix-2016-12-21-09-10-43.dat", "Tornelix-0000-00-00-00-00-00.dat",
    "Tornelix.dyn", "Tornelix.ini",     "amend.dat",
};
const std::vector<std::string> kExampleKept = {"amend.dat", "Tornelix-0000-00-00-00-00-00.dat", "Tornelix.dyn",
                                                "Tornelix.ini"};

std::vector<std::string> Listing(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& n : FilesMatching(dir + "\\", "*"))
        if (n != "." && n != ".." && !(GetFileAttributesA((dir + "\\" + n).c_str()) & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(n);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return _stricmp(a.c_str(), b.c_str()) < 0;
    });
    return names;
}

void FillExample(TempTree& t, const std::string& dir)
{
    for (const char* name : kExampleFiles)
        t.File(dir + "\\" + name, name);
}
} // namespace

TEST(PurgeDataFilesIn, KeepsOnlyTheZeroStampedCopyAndTheOtherSettings)
{
    TempTree t(TempDirectory() + "tlx_purge_example");
    FillExample(t, "config");
    FillExample(t, "config\\Mill");
    t.File("config\\Lathe\\TORNELIX.PLCBIN");
    t.File("config\\Lathe\\tornelix.plclst");
    t.File("config\\Lathe\\tornelix.dyn.discarded");
    t.File("config\\Lathe\\other.discarded");
    t.File("config\\Lathe\\config.dat");
    PurgeDataFilesIn(t / "config");
    EXPECT_EQ(Listing(t / "config"), kExampleKept);
    EXPECT_EQ(Listing(t / "config\\Mill"), kExampleKept) << "machine subdirectories are purged alike";
    EXPECT_EQ(Listing(t / "config\\Lathe"), (std::vector<std::string>{"config.dat", "other.discarded"}));
}

TEST(PurgeDataFilesIn, AZeroStampedDirectoryKeepsEverythingInIt)
{
    TempTree t(TempDirectory() + "tlx_purge_stampdir");
    t.File("config\\Backup-0000-00-00-00-00-00\\tornelix.dat");
    t.File("config\\Backup-2020-01-01-00-00-00\\tornelix.dat");
    PurgeDataFilesIn(t / "config");
    EXPECT_TRUE(Exists(t / "config\\Backup-0000-00-00-00-00-00\\tornelix.dat"));
    EXPECT_FALSE(Exists(t / "config\\Backup-2020-01-01-00-00-00\\tornelix.dat"));
    PurgeDataFilesIn(t / "missing"); // passed over
}

TEST(PurgeDirectories, FollowTheWriteFilterAndTheActiveConfiguration)
{
    EXPECT_EQ(PurgeDirectories(false, "C:\\P\\TorneLix\\", "D:\\Velko\\TorneLix", false, "E:\\Act\\"),
              std::vector<std::string>{"C:\\P\\TorneLix\\config"});
    EXPECT_EQ(PurgeDirectories(true, "C:\\P\\TorneLix\\", "D:\\Velko\\TorneLix", false, ""),
              (std::vector<std::string>{"C:\\P\\TorneLix\\config", "D:\\Velko\\TorneLix\\config"}));
    EXPECT_EQ(PurgeDirectories(false, "C:\\P\\TorneLix\\", "D:\\Velko\\TorneLix", true, "E:\\Act\\"),
              std::vector<std::string>{"E:\\Act\\config"});
    EXPECT_EQ(PurgeDirectories(true, "C:\\P\\TorneLix\\", "D:\\Velko\\TorneLix", true, "E:\\Act\\"),
              (std::vector<std::string>{"C:\\P\\TorneLix\\config", "E:\\Act\\config"}));
}

// The real locations of the bed: InstallRoot under Program Files, DataRoot on D:.
TEST(PurgeConfigDataFiles, PurgesTheInstalledConfigOnlyAndNothingWhenPackupIsSet)
{
    std::string root = InstallRoot();
    ASSERT_FALSE(root.empty());
    // An empty InstallRoot left by another test is fine; an installation is not.
    bool existed = Exists(root);
    ASSERT_TRUE(!existed || FilesMatching(root, "*").size() <= 2) << "the bed must not hold an installation";
    struct Restore {
        std::string dir;
        bool existed;
        ~Restore()
        {
            if (existed)
                CreateDirectoryA(dir.c_str(), nullptr);
        }
    } restore{root, existed};
    TempTree install(root.substr(0, root.size() - 1));
    install.File("setup.cfg", "[Settings]\r\nPath=TorneLix\\\r\n");
    install.File("TorneLix\\Packup.ini", "[Operation]\r\nPackup=1\r\n");
    FillExample(install, "TorneLix\\config\\Mill");
    std::string dataConfig = DataProductDir() + "config";
    TempTree data(WithoutTrailingBackslash(DataProductDir()));
    FillExample(data, "config");

    PurgeConfigDataFiles(false, "");
    EXPECT_EQ(Listing(install / "TorneLix\\config\\Mill").size(), 7u) << "Packup set: nothing deleted";

    WriteText(install / "TorneLix\\Packup.ini", "[Operation]\r\nPackup=0\r\n");
    PurgeConfigDataFiles(false, "");
    EXPECT_EQ(Listing(install / "TorneLix\\config\\Mill"), kExampleKept);
    EXPECT_EQ(Listing(dataConfig).size(), 7u) << "without a write filter the data tree stays";
    // Leave no empty data root behind for later tests of the bed.
    std::string dataRoot = DataRoot();
    SetFileAttributesA(dataRoot.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveTreeForTest(data.Root());
    RemoveDirectoryA(dataRoot.c_str());
}
