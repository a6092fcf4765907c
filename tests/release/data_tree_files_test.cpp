#include <gtest/gtest.h>

#include <windows.h>

#include "locations/TempLocations.h"
#include "platform/DirectoryEntries.h"
#include "release/DataTreeFiles.h"
#include "support/TempTree.h"

namespace {
// Sets a file's last write time to minutes after a fixed day.
void Age(const std::string& path, int minutes)
{
    ULARGE_INTEGER t;
    t.QuadPart = 133000000000000000ull + static_cast<unsigned long long>(minutes) * 600000000ull;
    FILETIME ft{t.LowPart, t.HighPart};
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
}

// The one entry of dir whose name starts with prefix, as its full path.
std::string OnlyOlder(const std::string& dir, const std::string& prefix)
{
    std::vector<std::string> found;
    ForEachEntry(dir, "*", [&](const DirectoryEntry& entry) {
        if (entry.name.compare(0, prefix.size(), prefix) == 0)
            found.push_back(dir + "\\" + entry.name);
        return true;
    });
    return found.size() == 1 ? found[0] : "<" + std::to_string(found.size()) + " found>";
}
} // namespace

// A copy of the data tree merged into the live one: nothing of the operator's
// is lost, two versions both stay (the newer in place), the machine's values
// stay with the release's copy.
TEST(DataTreeFiles, BringingHomeKeepsEveryVersionAndLeavesTheValuesWithTheRelease)
{
    TempTree tree(TempPath() + "tlx_data_tree");
    std::string copy = tree / "copy", live = tree / "live";
    Age(tree.File("copy\\Parts\\a.nc", "A as kept"), 10);
    Age(tree.File("live\\Parts\\a.nc", "A edited since"), 20);
    Age(tree.File("copy\\Parts\\sub\\b.nc", "B edited in the kept release"), 30);
    Age(tree.File("live\\Parts\\sub\\b.nc", "B as it was"), 5);
    tree.File("copy\\same.nc", "same");
    tree.File("live\\same.nc", "same");
    tree.File("copy\\Week\\only.nc", "only in the copy");
    tree.Dir("copy\\Empty");
    tree.File("copy\\config\\Mill\\tornelix.dat", "the kept release's values");
    tree.File("copy\\config\\Mill\\amend.dat", "the kept release's amend values");
    tree.File("copy\\user.ini", "laid by the kept release");
    std::string laidIni = live + "\\user.ini";
    LaidFiles laid({{laidIni, FileStamp(copy + "\\user.ini")}});

    std::vector<std::string> notMoved;
    EXPECT_EQ(MergeIntoLiveTree(copy, live, true, laid, &notMoved), 3u);
    EXPECT_TRUE(notMoved.empty());

    EXPECT_EQ(ReadText(live + "\\Parts\\a.nc"), "A edited since");
    EXPECT_EQ(ReadText(OnlyOlder(live + "\\Parts", "a.older-")), "A as kept");
    EXPECT_EQ(ReadText(live + "\\Parts\\sub\\b.nc"), "B edited in the kept release");
    EXPECT_EQ(ReadText(OnlyOlder(live + "\\Parts\\sub", "b.older-")), "B as it was");
    EXPECT_NE(OnlyOlder(live + "\\Parts\\sub", "b.older-").find(".nc"), std::string::npos) << "the extension stays";
    EXPECT_EQ(ReadText(live + "\\Week\\only.nc"), "only in the copy");
    EXPECT_TRUE(DirectoryExists(live + "\\Empty"));
    EXPECT_EQ(ReadText(live + "\\same.nc"), "same");
    EXPECT_FALSE(FileExists(copy + "\\same.nc")) << "a byte-identical copy goes";

    EXPECT_EQ(ReadText(copy + "\\config\\Mill\\tornelix.dat"), "the kept release's values");
    EXPECT_EQ(ReadText(copy + "\\config\\Mill\\amend.dat"), "the kept release's amend values");
    EXPECT_EQ(ReadText(copy + "\\user.ini"), "laid by the kept release");
    EXPECT_FALSE(FileExists(live + "\\config\\Mill\\tornelix.dat"));
    EXPECT_TRUE(DirectoryExists(copy)) << "the copy's top directory stays";

    // A laid file changed since it was laid is the operator's version.
    tree.File("copy\\user.ini", "ActiveLang changed by the operator");
    EXPECT_EQ(MergeIntoLiveTree(copy, live, true, laid, &notMoved), 1u);
    EXPECT_EQ(ReadText(laidIni), "ActiveLang changed by the operator");
}

// Out of the live tree go only the release's unchanged files and the values.
TEST(DataTreeFiles, MovingTheReleaseOutLeavesTheOperatorsFiles)
{
    TempTree tree(TempPath() + "tlx_data_tree");
    std::string live = tree / "live", copy = tree / "copy";
    std::string ini = tree.File("live\\user.ini", "laid");
    LaidFiles laid({{ini, FileStamp(ini)}, {live + "\\Users\\operator.txt", "3-1"}});
    tree.File("live\\Users\\operator.txt", "the operator's own version");
    tree.File("live\\config\\Mill\\Tornelix.DAT", "values");
    tree.File("live\\Parts\\discard.nc.bak", "a part program");
    tree.File("live\\Parts\\O1.nc", "a part program");

    std::vector<std::string> notMoved;
    MoveReleaseFilesOut(live, copy, laid, &notMoved);
    EXPECT_TRUE(notMoved.empty());
    EXPECT_EQ(ReadText(copy + "\\user.ini"), "laid");
    EXPECT_EQ(ReadText(copy + "\\config\\Mill\\Tornelix.DAT"), "values");
    EXPECT_EQ(ReadText(live + "\\Users\\operator.txt"), "the operator's own version");
    EXPECT_EQ(ReadText(live + "\\Parts\\O1.nc"), "a part program");
    EXPECT_FALSE(FileExists(live + "\\user.ini"));
    EXPECT_TRUE(DirectoryExists(live + "\\config\\Mill")) << "the live tree's folders stay";
}
