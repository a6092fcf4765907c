#include <gtest/gtest.h>

#include "release/JournalRecords.h"
#include "release/RecordFile.h"
#include "release/ReleaseSwap.h"

namespace {
std::string WholeText(const std::vector<RecordFields>& records)
{
    std::string text = RecordHeaderLine(kKeptKind);
    for (const RecordFields& fields : records)
        text += RecordLine(fields);
    return text + RecordLine({"end", std::to_string(records.size())});
}

const std::vector<RecordFields> kKept = {{"tag", "5f3a01c2"},
                                         {"entry", "D:\\Velko\\TorneLix", "D:\\Velko.previous\\5f3a01c2\\1"},
                                         {"entry", "C:\\Velko\\TorneLix", "C:\\Velko.previous\\5f3a01c2\\2"}};
} // namespace

TEST(RecordFile, AWholeRecordCutAtAnyByteIsNeverTakenAsWhole)
{
    std::string text = WholeText(kKept);
    ASSERT_EQ(ParseRecordText(text, kKeptKind).state, RecordState::ok);
    for (size_t cut = 0; cut < text.size(); ++cut) {
        RecordRead read = ParseRecordText(text.substr(0, cut), kKeptKind);
        EXPECT_NE(read.state, RecordState::ok) << "cut at byte " << cut;
    }
    // Cut after the first entry: the sound lines are there, the whole is not.
    std::string shortened = RecordHeaderLine(kKeptKind) + RecordLine(kKept[0]) + RecordLine(kKept[1]);
    RecordRead read = ParseRecordText(shortened, kKeptKind);
    EXPECT_EQ(read.state, RecordState::damaged);
    EXPECT_TRUE(read.cutShort);
    EXPECT_EQ(read.records.size(), 2u);
    // A closing line that counts other records (more, fewer, no number),
    // or a line after it: each refused for that.
    for (const char* count : {"3", "1", "2x", ""}) {
        RecordRead miscounted = ParseRecordText(shortened + RecordLine({"end", count}), kKeptKind);
        EXPECT_EQ(miscounted.state, RecordState::damaged) << count;
        EXPECT_NE(miscounted.problem.find("line 4: the closing line does not count the records"), std::string::npos)
            << count << ": " << miscounted.problem;
    }
    EXPECT_EQ(ParseRecordText(shortened + RecordLine({"end", "2"}), kKeptKind).state, RecordState::ok);
    RecordRead after = ParseRecordText(text + RecordLine(kKept[1]), kKeptKind);
    EXPECT_EQ(after.state, RecordState::damaged);
    EXPECT_NE(after.problem.find("line 6: after the closing line"), std::string::npos) << after.problem;
}

TEST(RecordFile, AnAppendedRecordCutAtAnyByteKeepsWhatWasWholeBeforeTheCut)
{
    std::string text = JournalHeaderLine() + JournalTagLine("5f3a01c2") + JournalPhaseLine(RunPhase::settingAside) +
                       JournalMoveLine({"D:\\Velko\\TorneLix", "D:\\Velko.previous\\5f3a01c2\\1"});
    size_t lines = 0;
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        RecordRead read = ParseRecordText(text.substr(0, cut), kJournalKind);
        if (cut > 0 && text[cut - 1] == '\n')
            ++lines;
        if (lines == 0) {
            EXPECT_EQ(read.state, RecordState::notBegun) << "cut at byte " << cut;
        } else {
            ASSERT_EQ(read.state, RecordState::ok) << "cut at byte " << cut;
            EXPECT_EQ(read.records.size(), lines - 1) << "cut at byte " << cut;
        }
    }
}

TEST(RecordFile, ZerosEmptyFilesAndOtherKindsAreToldApart)
{
    RecordRead empty = ParseRecordText("", kSwapKind);
    EXPECT_EQ(empty.state, RecordState::notBegun);
    EXPECT_EQ(empty.problem, "0 bytes");
    RecordRead zeros = ParseRecordText(std::string(4096, '\0'), kJournalKind);
    EXPECT_EQ(zeros.state, RecordState::damaged) << "zeros cannot tell what was moved";
    EXPECT_EQ(zeros.problem, "only zeros");
    EXPECT_EQ(ParseRecordText(JournalHeaderLine() + std::string(12, '\0'), kJournalKind).state, RecordState::damaged);
    RecordRead other = ParseRecordText(WholeText(kKept), kSwapKind);
    EXPECT_EQ(other.state, RecordState::damaged) << "a kept record is no swap record";
    EXPECT_EQ(other.problem, "line 1: not a TLXSWAP record");
    // One character changed inside a line fails its check.
    std::string flipped = WholeText(kKept);
    flipped[flipped.find("TorneLix")] = 't';
    EXPECT_EQ(ParseRecordText(flipped, kKeptKind).problem, "line 3: damaged record");
}

namespace {
// A kind at version 3 that reads version 2: there, "kept" named what version
// 3 calls "stayed", and a "gone" line has no meaning left.
bool TodaysLineOf2(int version, RecordFields* line)
{
    if (version != 2 || (*line)[0] == "gone")
        return false;
    if ((*line)[0] == "kept")
        (*line)[0] = "stayed";
    return true;
}
const RecordKind kTestKind = {"TLXTEST", 3, 2, true, TodaysLineOf2};

std::string TestRecord(const char* version, const std::vector<RecordFields>& records)
{
    std::string text = RecordLine({"TLXTEST", version});
    for (const RecordFields& fields : records)
        text += RecordLine(fields);
    return text + RecordLine({"end", std::to_string(records.size())});
}
} // namespace

TEST(RecordFile, AnEarlierVersionIsReadThroughItsMappingAndANewerOneIsRefusedWithWhy)
{
    RecordRead earlier = ParseRecordText(TestRecord("2", {{"tag", "5f3a01c2"}, {"kept", "D:\\Velko"}}), kTestKind);
    ASSERT_EQ(earlier.state, RecordState::ok) << earlier.problem;
    EXPECT_EQ(earlier.version, 2);
    EXPECT_EQ(earlier.records, (std::vector<RecordFields>{{"tag", "5f3a01c2"}, {"stayed", "D:\\Velko"}}));
    // A record of today's version goes to its reader as written.
    RecordRead today = ParseRecordText(TestRecord("3", {{"kept", "D:\\Velko"}}), kTestKind);
    ASSERT_EQ(today.state, RecordState::ok);
    EXPECT_EQ(today.records[0][0], "kept");
    // A line the earlier version wrote that today has no form for.
    EXPECT_EQ(ParseRecordText(TestRecord("2", {{"tag", "5f3a01c2"}, {"gone", "x"}}), kTestKind).problem,
              "line 3: gone, no line of TLXTEST version 2");
    EXPECT_EQ(ParseRecordText(TestRecord("4", {{"tag", "5f3a01c2"}}), kTestKind).problem,
              "line 1: TLXTEST version 4, written by a newer setup; this one reads 2 to 3");
    EXPECT_EQ(ParseRecordText(TestRecord("1", {{"tag", "5f3a01c2"}}), kTestKind).problem,
              "line 1: TLXTEST version 1, which this setup does not read; it reads 2 to 3");
    EXPECT_EQ(ParseRecordText(TestRecord("2x", {}), kTestKind).state, RecordState::damaged);

    // The records of this setup: a kept record of a newer setup (an older
    // setup started after it) is refused and says why, as is one of the first
    // version, which could not tell a whole record from a cut one.
    std::string newer = RecordLine({"TLXKEPT", "3"}) + RecordLine(kKept[0]) + RecordLine({"end", "1"});
    RecordRead refused = ParseRecordText(newer, kKeptKind);
    EXPECT_EQ(refused.state, RecordState::damaged);
    EXPECT_EQ(refused.problem, "line 1: TLXKEPT version 3, written by a newer setup; this one reads 2");
    std::string first = RecordLine({"TLXSWAP", "1"}) + RecordLine({"from", "5f3a01c2"}) + RecordLine({"end", "1"});
    EXPECT_EQ(ParseRecordText(first, kSwapKind).problem,
              "line 1: TLXSWAP version 1, which this setup does not read; it reads 2");
}
