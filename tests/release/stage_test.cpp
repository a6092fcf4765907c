#include <gtest/gtest.h>

#include <zlib.h>

#include "deploy/FileTree.h"
#include "locations/Locations.h"
#include "platform/DirectoryTree.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"
#include "release/DataTreeFiles.h"
#include "release/RecordFile.h"
#include "release/Stage.h"

namespace {
const char kTag[] = "5f3a01c2";
const char kDigest[] = "0123456789abcdef0123456789abcdef";

std::string StageDir() { return JoinPath(StagingRoot(), kTag); }

void Lay(const std::string& path, const std::string& text)
{
    MakeDirectoryPath(ParentOf(path));
    ASSERT_TRUE(WriteWholeFile(path, text.data(), text.size()));
}

std::string Crc(const std::string& text)
{
    return StrPrintf("%08lx", crc32(0L, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())) &
                                  0xffffffffUL);
}

// A stage of two files as /STAGE leaves it, and its record's lines.
std::vector<RecordFields> LayStage()
{
    DeleteTree(StagingRoot());
    EXPECT_EQ(PrepareRecordDirectory(StagingRoot()), "");
    Lay(JoinPath(StageDir(), "setup.cfg"), "[Setup]\r\nPath=TorneLix\\\r\n");
    Lay(JoinPath(StageDir(), "TorneLix\\release.txt"), "release=staged\r\n");
    return {{"tag", kTag},
            {"release", "Staged 1.0"},
            {"digest", kDigest},
            {"dir", StageDir()},
            {"when", "2026-12-10 08:00:00"},
            {"file", "setup.cfg", FileStamp(JoinPath(StageDir(), "setup.cfg")), Crc("[Setup]\r\nPath=TorneLix\\\r\n")},
            {"file", "TorneLix\\release.txt", FileStamp(JoinPath(StageDir(), "TorneLix\\release.txt")),
             Crc("release=staged\r\n")}};
}

void Record(const std::vector<RecordFields>& lines)
{
    ASSERT_TRUE(WriteWholeRecord(StageRecordFilePath(), kStageKind, lines));
}
} // namespace

TEST(Stage, OnlyAWholeRecordOfThisDigestOverUnchangedFilesIsUsed)
{
    const std::vector<RecordFields> lines = LayStage();
    Record(lines);
    StageFound found = FindStage(kDigest, true);
    ASSERT_EQ(found.state, StageFound::usable) << found.reason;
    EXPECT_EQ(found.record.release, "Staged 1.0");
    EXPECT_EQ(found.record.files.size(), 2u);
    EXPECT_EQ(FindStage("ffffffffffffffffffffffffffffffff", true).state, StageFound::notUsable);
    EXPECT_EQ(FindStage("", true).state, StageFound::notUsable);

    // Cut at every byte: never taken for a stage to switch in.
    std::vector<unsigned char> whole;
    ASSERT_TRUE(ReadWholeFile(StageRecordFilePath(), whole));
    for (size_t size = 0; size < whole.size(); ++size) {
        ASSERT_TRUE(WriteWholeFile(StageRecordFilePath(), whole.data(), size));
        EXPECT_NE(FindStage(kDigest, true).state, StageFound::usable) << "cut at " << size;
    }

    // Lines that lead out of the staging place, or that the reader does not know.
    const char* const foreign[] = {"D:\\Other", "..\\x", "TAG"};
    for (const char* what : foreign) {
        std::vector<RecordFields> bad = lines;
        if (std::string(what) == "D:\\Other")
            bad[3][1] = what;
        else if (std::string(what) == "..\\x")
            bad[5][1] = "..\\..\\Velko\\setup.cfg";
        else
            bad[0][1] = "5F3A01C2";
        Record(bad);
        StageFound refused = FindStage(kDigest, true);
        EXPECT_EQ(refused.state, StageFound::notUsable) << what;
        EXPECT_NE(refused.reason, "") << what;
    }
    std::vector<RecordFields> unknown = lines;
    unknown.push_back({"move", "D:\\Parts", "D:\\Other"});
    Record(unknown);
    EXPECT_EQ(FindStage(kDigest, true).state, StageFound::notUsable);
}

TEST(Stage, AFileChangedAddedOrMissingAfterStagingIsFound)
{
    const std::string release = JoinPath(StageDir(), "TorneLix\\release.txt");
    for (int change = 0; change < 3; ++change) {
        std::vector<RecordFields> lines = LayStage();
        switch (change) {
        case 0: // one byte, the record's stamp that of the changed file: only its content tells
            Lay(release, "release=stagez\r\n");
            lines[6][2] = FileStamp(release);
            break;
        case 1: Lay(JoinPath(StageDir(), "TorneLix\\extra.dll"), "x"); break;
        case 2: ASSERT_TRUE(RemoveFile(release)); break;
        }
        Record(lines);
        StageFound found = FindStage(kDigest, true);
        EXPECT_EQ(found.state, StageFound::notUsable) << "change " << change;
        // The record alone is sound: only the files tell.
        EXPECT_EQ(FindStage(kDigest, false).state, StageFound::usable) << "change " << change;
    }
}

TEST(Stage, DroppingRemovesTheRecordAndOurTagDirectoriesOnly)
{
    Record(LayStage());
    Lay(JoinPath(StagingRoot(), "0badc0de\\left.txt"), "a cut stage\r\n");
    Lay(JoinPath(StagingRoot(), "notes\\keep.txt"), "not ours\r\n");
    std::vector<std::string> dropped = DropStage();
    EXPECT_EQ(dropped.size(), 3u);
    EXPECT_FALSE(PathExists(StageRecordFilePath()));
    EXPECT_FALSE(PathExists(StageDir()));
    EXPECT_FALSE(PathExists(JoinPath(StagingRoot(), "0badc0de")));
    EXPECT_TRUE(PathExists(JoinPath(StagingRoot(), "notes\\keep.txt")));
    EXPECT_EQ(FindStage(kDigest, true).state, StageFound::none);
    DeleteTree(StagingRoot());
}
