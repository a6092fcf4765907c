#include <gtest/gtest.h>

#include <cstring>

#include "locations/Locations.h"
#include "platform/FileCopy.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "release/InstalledLaid.h"
#include "release/JournalRecords.h"
#include "release/KeptRelease.h"
#include "release/PreviousRelease.h"
#include "release/RecordPlaces.h"
#include "release/TagStore.h"

namespace {
std::string Data() { return WithoutTrailingBackslash(DataProductDir()); }
std::string Install() { return WithoutTrailingBackslash(InstallRoot()); }
} // namespace

TEST(RecordPlaces, OnlyTheProductsOwnPlacesAndTheirTagCopiesMayBeNamed)
{
    const std::string driver = SystemDirectory() + "\\drivers\\tlxio.sys";
    EXPECT_TRUE(IsProductPlace(Install(), {}));
    EXPECT_TRUE(IsProductPlace(Data() + "\\Parts\\O1.nc", {}));
    // A name the code page cannot hold, as the platform writes it, and GBK
    // names whose trail byte is '|' or '\\' (0x81 0x7C, 0x81 0x5C).
    EXPECT_TRUE(IsProductPlace(Data() + "\\Parts\\<U+D55C><U+AD6D>\\<U+1F600>.nc", {}));
    EXPECT_TRUE(IsProductPlace(Data() + "\\Parts\\\x81\x7C\\\x81\x5C.nc", {}));
    EXPECT_TRUE(IsProductPlace(driver, {driver})) << "a driver the release carries";
    EXPECT_FALSE(IsProductPlace(driver, {})) << "the system's own driver";
    EXPECT_FALSE(IsProductPlace(SystemDirectory() + "\\msvcrt.dll", {driver}));
    for (const std::string& foreign :
         {std::string("D:\\Other"), std::string("C:\\users\\Public\\Documents\\Parts"), std::string("D:\\Parts"),
          Data() + "\\..\\..\\Other", Data() + "\\.\\x", DataRoot() + "Boot\\SetUp.kept", std::string("D:Velko"),
          std::string("\\\\server\\share\\Velko"), SystemDirectory(), SystemDirectory() + "\\drivers\\sub\\x.sys",
          Data() + "\\a\\\\b", Data() + "/x", Data() + "\\<U+002A>", Data() + "\\<U+D55C", Data() + "\\a>b"})
        EXPECT_FALSE(IsProductPlace(foreign, {foreign})) << foreign;

    std::string tagDir = TagDirFor(Data(), "5f3a01c2");
    EXPECT_TRUE(IsTagCopyOf(tagDir + "\\1", Data(), "5f3a01c2"));
    EXPECT_FALSE(IsTagCopyOf(tagDir, Data(), "5f3a01c2")) << "the tag's directory itself is no copy";
    EXPECT_FALSE(IsTagCopyOf(tagDir + "\\..\\..\\Other", Data(), "5f3a01c2"));
    EXPECT_FALSE(IsTagCopyOf(TagDirFor(Data(), "..\\..\\Other") + "\\1", Data(), "..\\..\\Other"));
    EXPECT_FALSE(IsTagCopyOf(TagDirFor(Install(), "5f3a01c2") + "\\1", Data(), "5f3a01c2"))
        << "a copy on another drive than its original";
    EXPECT_TRUE(IsTagDirectory(tagDir));
    EXPECT_FALSE(IsTagDirectory("D:\\Other"));
    EXPECT_FALSE(IsTagDirectory(tagDir + "\\1"));
    EXPECT_FALSE(IsTagDirectory(TagDirFor(Data(), "5F3A01C2")));
}

TEST(RecordPlaces, AJournalOrKeptRecordNamingAnyOtherPlaceIsRefused)
{
    JournalContents run;
    run.tag = "5f3a01c2";
    run.moves.push_back({Data(), TagDirFor(Data(), run.tag) + "\\1"});
    run.carried.push_back(SystemDirectory() + "\\tlxdx.dll");
    run.absent.push_back(SystemDirectory() + "\\tlxdx.dll");
    run.dataTree = Data();
    run.laid.push_back({Data() + "\\user.ini", "31-133000000000000000"});
    EXPECT_EQ(JournalPlacesProblem(run), "");
    // Each kind of line refused for its own reason: a check that fired
    // elsewhere would hide the one that lets it through.
    const char* const why[] = {"names a place that is not the product's: D:\\Parts",
                               "names a place that is not the product's: ",
                               "names a place that is not the product's: D:\\Other",
                               "not a tag of this setup: ",
                               "names a data tree that is not the product's: D:\\Parts",
                               "names a file laid outside the data tree: D:\\Parts\\O1.nc",
                               "names a file laid outside the data tree: ",
                               "names a place that is not the product's: ",
                               "names a place that is not the product's: ",
                               "names a file the release carries outside the system and driver directories: "};
    for (int line = 0; line < 10; ++line) {
        JournalContents bad = run;
        switch (line) {
        case 0: bad.moves.push_back({"D:\\Parts", TagDirFor(Data(), run.tag) + "\\2"}); break;
        case 1: bad.saved.push_back({SystemDirectory() + "\\x.dll", "D:\\Other\\x.dll"}); break;
        case 2: bad.stayed.push_back("D:\\Other"); break;
        case 3: bad.tag = "..\\..\\Other"; break;
        case 4: bad.dataTree = "D:\\Parts"; break; // its files would be taken for the release's
        case 5: bad.prior.push_back({"D:\\Parts\\O1.nc", "1-1"}); break;
        case 6: bad.laid.push_back({Install() + "\\TorneLix\\x.dll", "1-1"}); break;
        // The system's own files, even in an authentic record, unless the
        // release carries them.
        case 7: bad.absent.push_back(SystemDirectory() + "\\msvcrt.dll"); break;
        case 8: {
            std::string disk = SystemDirectory() + "\\drivers\\disk.sys";
            bad.moves.push_back({disk, TagDirFor(disk, run.tag) + "\\2"});
            break;
        }
        case 9: bad.carried.push_back("D:\\Other\\x.dll"); break;
        }
        std::string problem = JournalPlacesProblem(bad);
        EXPECT_EQ(problem.compare(0, strlen(why[line]), why[line]), 0) << "line kind " << line << ": " << problem;
    }
}

// What the release in place laid outlives a kept release: the record that
// keeps it is read back as written, and one naming a file outside the data
// tree moves nothing on its word.
TEST(RecordPlaces, TheInstalledReleasesLaidRecordIsReadBackOrRefusedForAFileOutsideTheDataTree)
{
    std::vector<LaidFile> laid = {{Data() + "\\Macros\\macro.txt", "20-133000000000000000"}};
    ASSERT_TRUE(WriteInstalledLaid(Data(), laid));
    std::string problem;
    std::vector<LaidFile> read = ReadInstalledLaid(&problem);
    EXPECT_EQ(problem, "");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].path, laid[0].path);
    EXPECT_EQ(read[0].stamp, laid[0].stamp);
    laid.push_back({"D:\\Parts\\O1.nc", "1-1"});
    ASSERT_TRUE(WriteInstalledLaid(Data(), laid));
    EXPECT_TRUE(ReadInstalledLaid(&problem).empty());
    EXPECT_NE(problem.find("names a file laid outside the data tree: D:\\Parts\\O1.nc"), std::string::npos) << problem;
    RemoveFile(LaidRecordFilePath());
}

TEST(TagStore, NewTagsHaveTheOneFormAndNameNoDirectoryThere)
{
    std::string tag = NewTag();
    EXPECT_TRUE(IsTagForm(tag)) << tag;
    for (const std::string& dir : TagDirectories(tag))
        EXPECT_EQ(KindOfPath(dir), PathKind::missing) << dir;
    EXPECT_FALSE(IsTagForm("..\\..\\x"));
    EXPECT_FALSE(IsTagForm("5f3a01c"));
}
