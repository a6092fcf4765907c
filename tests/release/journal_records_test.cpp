#include <gtest/gtest.h>

#include "release/JournalRecords.h"

namespace {
std::string WholeJournal()
{
    return JournalHeaderLine() + JournalTagLine("5f3a01c2") + JournalPhaseLine(RunPhase::settingAside) +
           JournalMoveLine({"D:\\Velko\\TorneLix", "D:\\Velko.previous\\5f3a01c2\\1"}) +
           JournalStayedLine("D:\\Velko\\TorneLix\\held.txt") + JournalAbsentLine("C:\\Windows\\system32\\x.dll") +
           JournalSavedLine({"C:\\Windows\\system32\\drivers\\io.sys", "C:\\P.previous\\5f3a01c2\\shared1"}) +
           JournalPhaseLine(RunPhase::packageStarted);
}

JournalReading Parse(const std::string& text, std::string* problem = nullptr)
{
    JournalContents contents;
    std::string ignored;
    return ParseJournal(text, &contents, problem ? problem : &ignored);
}
} // namespace

TEST(Journal, ReadsBackEveryKindOfRecordAndTheFurthestPhase)
{
    JournalContents contents;
    std::string problem;
    ASSERT_EQ(ParseJournal(WholeJournal() + JournalPhaseLine(RunPhase::setAside), &contents, &problem),
              JournalReading::ok)
        << problem;
    EXPECT_EQ(contents.tag, "5f3a01c2");
    EXPECT_EQ(contents.phase, RunPhase::packageStarted) << "a phase never goes back";
    ASSERT_EQ(contents.moves.size(), 1u);
    EXPECT_EQ(contents.moves[0].aside, "D:\\Velko.previous\\5f3a01c2\\1");
    EXPECT_EQ(contents.stayed, std::vector<std::string>{"D:\\Velko\\TorneLix\\held.txt"});
    EXPECT_EQ(contents.absent, std::vector<std::string>{"C:\\Windows\\system32\\x.dll"});
    ASSERT_EQ(contents.saved.size(), 1u);
    EXPECT_EQ(contents.saved[0].original, "C:\\Windows\\system32\\drivers\\io.sys");
}

TEST(Journal, ALastRecordCutShortIsIgnoredAndNothingWrittenIsEmpty)
{
    std::string text = WholeJournal();
    std::string next = JournalPhaseLine(RunPhase::transferDone);
    JournalContents contents;
    std::string problem;
    ASSERT_EQ(ParseJournal(text + next.substr(0, 9), &contents, &problem), JournalReading::ok);
    EXPECT_EQ(contents.phase, RunPhase::packageStarted);
    EXPECT_EQ(Parse(""), JournalReading::empty);
    EXPECT_EQ(Parse(JournalHeaderLine().substr(0, 5)), JournalReading::empty);
}

TEST(Journal, AWholeLineThatFailsItsCheckOrIsNotUnderstoodIsDamage)
{
    std::string text = WholeJournal();
    std::string problem;
    // One character changed inside the move record.
    std::string flipped = text;
    size_t at = flipped.find("TorneLix");
    flipped[at] = 't';
    EXPECT_EQ(Parse(flipped, &problem), JournalReading::damaged);
    EXPECT_EQ(problem, "line 4: damaged record");
    // A line of zeros or of text without its check, with an end, is damage.
    EXPECT_EQ(Parse(text + std::string(12, '\0') + "\n"), JournalReading::damaged);
    EXPECT_EQ(Parse(JournalHeaderLine() + "aside\tC:\\a\r\n"), JournalReading::damaged);
    EXPECT_EQ(Parse(JournalHeaderLine() + JournalTagLine("t") + "zzz\r\n"), JournalReading::damaged);
    EXPECT_EQ(Parse("journal\t1\r\naside\tC:\\a\tC:\\b\r\n", &problem), JournalReading::damaged)
        << "an older journal's text is not this journal's";
    EXPECT_EQ(problem, "line 1: not a record of this setup");
    // Moves without the run's tag cannot name their directories.
    EXPECT_EQ(Parse(JournalHeaderLine() + JournalMoveLine({"C:\\a", "C:\\b"})), JournalReading::damaged);
}
