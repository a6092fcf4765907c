#include <gtest/gtest.h>

#include "messages/Messages.h"
#include "params/AmendMerge.h"
#include "platform/MessageBox.h"
#include "support/ScratchDir.h"
#include "support/TempTree.h"

namespace {
// The new release's format: m_speed, m_b[3], m_c (a structure), m_a[2],
// m_newName, and the members that are never carried.
const char kNewFormat[] =
    "struct CAxis { double m_d; int m_x; };\n"
    "field CController {\n"
    "  int m__df_beginCController;\n"
    "  double m_speed;\n"
    "  int m_b[3];\n"
    "  CAxis m_c;\n"
    "  int m_a[2];\n"
    "  int m_newName;\n"
    "  double m_nxaOffset[4];\n"
    "  int m__df_endCController;\n"
    "};\n";

class AmendMerge : public ::testing::Test {
protected:
    ScratchDir dir{"tlx_amend_merge"};
    std::string saved = dir / "Mill_amend.dat";
    std::string target = dir / "amend.dat";
    std::string format = dir / "tornelix.fmt";
    void SetUp() override { WriteText(format, kNewFormat); }
    std::string Merge(const std::string& savedText, const std::string& targetText)
    {
        WriteText(saved, savedText);
        WriteText(target, targetText);
        EXPECT_EQ(MergeAmendFile(saved, target, format), MergeResult::merged);
        return ReadText(target);
    }
};
} // namespace

TEST(ParseIniLine, SplitsAtTheFirstEqualsAndCutsCommentsAndBlanks)
{
    std::string k, v;
    ASSERT_TRUE(ParseIniLine("m_x=5", k, v));
    EXPECT_EQ(k + "|" + v, "m_x|5");
    ASSERT_TRUE(ParseIniLine("m_s  =  a=b ; note", k, v));
    EXPECT_EQ(k + "|" + v, "m_s|a=b");
    ASSERT_TRUE(ParseIniLine("[Other] ; note", k, v));
    EXPECT_EQ(k, "[Other] ; note");
    EXPECT_EQ(v, "");
    EXPECT_FALSE(ParseIniLine("; comment", k, v));
    EXPECT_FALSE(ParseIniLine("m_a = ; comment", k, v));
    EXPECT_FALSE(ParseIniLine("m_a =", k, v));
    EXPECT_FALSE(ParseIniLine("= 5", k, v));
    EXPECT_FALSE(ParseIniLine("no equals", k, v));
}

TEST(ExcludedMembers, AreRecognisedWithIndicesAndBelow)
{
    EXPECT_TRUE(IsExcludedMember("m_nxaOffset"));
    EXPECT_TRUE(IsExcludedMember(TopLevelMember("m_nxaOffset[3].m_x")));
    EXPECT_TRUE(IsExcludedMember("m__df_beginCController"));
    EXPECT_TRUE(IsExcludedMember("m_nxWorkCoorPubOffset"));
    EXPECT_FALSE(IsExcludedMember("m_nxaOffsetX"));
    EXPECT_FALSE(IsExcludedMember("[m_nxaOffset"));
    EXPECT_EQ(TopLevelMember("m_c.m_d"), "m_c");
    EXPECT_EQ(TopLevelMember(".m_d"), ".m_d");
}

TEST_F(AmendMerge, OldValuesTakeTheNewPositionsAndDeclaredOldOnlyEntriesFollow)
{
    std::string out = Merge("[CController]\r\nm_newName_old = 1\r\nm_speed = 12\r\nm_c.m_d = 2.5\r\n"
                            "m_gone = 7\r\nm_b[1] = 11\r\n",
                            "[CController]\r\nm_speed = 10\r\nm_newName = 3\r\nm_b[0] = 0\r\n");
    EXPECT_EQ(out, "[CController]\r\nm_speed = 12\r\nm_newName = 3\r\nm_b[0] = 0\r\n"
                   "m_c.m_d = 2.5\r\nm_b[1] = 11\r\n");
}

TEST_F(AmendMerge, ShrunkArraysChangedShapesAndExcludedMembersAreDropped)
{
    std::string out = Merge("[CController]\r\nm_b[2] = 2\r\nm_b[3] = 3\r\nm_b[4].m_x = 4\r\nm_a = 9\r\n"
                            "m_nxaOffset[0] = 1.5\r\nm__df_beginCController = 1\r\n",
                            "[CController]\r\nm_a[0] = 0\r\nm_nxaOffset[1] = 2.5\r\n");
    EXPECT_EQ(out, "[CController]\r\nm_a[0] = 0\r\nm_b[2] = 2\r\n");
}

TEST_F(AmendMerge, TextsOfCharacterArraysAreCarriedUnderTheirBareName)
{
    WriteText(format, "field CController { double m_speed; char m_szName[16]; unsigned char m_szTool[4];\n"
                      "  int m_n[2]; int m_plain; };\n");
    // m_szName and m_szTool are listed as texts; m_n = "1" names an array
    // by its bare name only as a text would, m_plain[0] is no declared name.
    std::string out = Merge("[CController]\r\nm_szName = \"MILL-A\"\r\nm_szTool = \"T1\"\r\nm_szName[0] = 5\r\n"
                            "m_n = 3\r\nm_plain[0] = \"x\"\r\nm_szName.m_x = \"y\"\r\nm_szGone = \"z\"\r\n",
                            "[CController]\r\nm_szTool = \"T0\"\r\nm_speed = 1\r\n");
    EXPECT_EQ(out, "[CController]\r\nm_szTool = \"T1\"\r\nm_speed = 1\r\nm_szName = \"MILL-A\"\r\n"
                   "m_szName[0] = 5\r\n");
}

TEST_F(AmendMerge, DuplicatesLetterCaseAndOtherSectionsFollowTheRules)
{
    std::string out = Merge("[CController]\r\nm_speed = 1\r\nm_speed = 2\r\nM_SPEED = 3\r\n",
                            "; release defaults\r\n[Other]\r\nkey=v ; comment\r\n\r\n"
                            "[CController]\r\nm_newName=5\r\nm_speed = 10\r\nm_newName = 6\r\n"
                            "[Tail] ; note\r\nt = 1\r\n");
    // First old m_speed is carried; the second is appended (and kept: declared).
    // M_SPEED is another key, undeclared. The repeated new key keeps its first
    // position with the later value. Other sections follow, comments dropped.
    EXPECT_EQ(out, "[CController]\r\nm_newName = 6\r\nm_speed = 1\r\nm_speed = 2\r\n"
                   "[Other]\r\nkey = v\r\n[Tail] ; note\r\nt = 1\r\n");
}

TEST_F(AmendMerge, AHeaderWithACommentIsNotTheControllerSection)
{
    std::string out = Merge("[CController]\r\nm_speed = 12\r\n", "[CController] ; note\r\nm_speed = 10\r\n");
    EXPECT_EQ(out, "[CController]\r\nm_speed = 12\r\n[CController] ; note\r\nm_speed = 10\r\n");
}

TEST_F(AmendMerge, AMissingTargetIsCreatedFromTheCarriedEntries)
{
    WriteText(saved, "[CController]\nm_speed = 12\nm_gone = 1\n");
    remove(target.c_str());
    EXPECT_EQ(MergeAmendFile(saved, target, format), MergeResult::merged);
    EXPECT_EQ(ReadText(target), "[CController]\r\nm_speed = 12\r\n");
}

TEST_F(AmendMerge, AFormatThatDeclaresNothingLeavesTheTargetAsItWas)
{
    // Missing, broken by a syntax error, or without the controller block:
    // filtering by it would empty the section of both old and new values.
    WriteText(saved, "[CController]\r\nm_speed = 12\r\n");
    const std::string release = "[CController]\r\nm_speed = 10\r\n[Other]\r\nk = v\r\n";
    WriteText(target, release);
    EXPECT_EQ(MergeAmendFile(saved, target, dir / "missing.fmt"), MergeResult::formatUnreadable);
    EXPECT_EQ(ReadText(target), release);

    WriteText(format, "field CController { double m_speed int m_b[3]; };\n");
    EXPECT_EQ(MergeAmendFile(saved, target, format), MergeResult::formatUnreadable);
    EXPECT_EQ(ReadText(target), release);

    WriteText(format, "field COther { double m_speed; };\n");
    EXPECT_EQ(MergeAmendFile(saved, target, format), MergeResult::formatUnreadable);
    EXPECT_EQ(ReadText(target), release);

    // An empty controller block is a declaration: nothing of it is kept.
    WriteText(format, "field CController { };\n");
    EXPECT_EQ(MergeAmendFile(saved, target, format), MergeResult::merged);
    EXPECT_EQ(ReadText(target), "[CController]\r\n[Other]\r\nk = v\r\n");
}

TEST_F(AmendMerge, AFailedWriteLeavesTheOldTargetAndTellsTheUser)
{
    WriteText(saved, "[CController]\r\nm_speed = 12\r\n");
    WriteText(target, "[CController]\r\nm_speed = 10\r\n");
    // A directory where the merged file would be written blocks it.
#ifdef _WIN32
    CreateDirectoryA((target + ".merge").c_str(), nullptr);
#else
    mkdir((target + ".merge").c_str(), 0755);
#endif
    std::string shown;
    SetMessageHandler([&](const std::string& text, unsigned) {
        shown = text;
        return IDOK;
    });
    EXPECT_EQ(MergeAmendFile(saved, target, format), MergeResult::targetNotWritten);
    SetMessageHandler(nullptr);
#ifdef _WIN32
    RemoveDirectoryA((target + ".merge").c_str());
#else
    rmdir((target + ".merge").c_str());
#endif
    EXPECT_TRUE(shown.empty()) << "the caller tells the user: " << shown;
    EXPECT_EQ(ReadText(target), "[CController]\r\nm_speed = 10\r\n");
}

TEST(MergeEntries, ConsumesEachOldOccurrenceOnceAndAppendsTheRestInOrder)
{
    AmendEntries controller = {{"[CController]", ""}, {"a", "1"}, {"b", "2"}, {"a2", "x"}};
    AmendEntries old = {{"b", "20"}, {"z", "26"}, {"[CController]", ""}, {"b", "21"}, {"a", "10"}};
    MergeEntries(controller, old);
    EXPECT_TRUE(old.empty());
    std::string keys;
    for (const auto& e : controller)
        keys += e.key + "=" + e.value + ";";
    EXPECT_EQ(keys, "[CController]=;a=10;b=20;a2=x;z=26;b=21;");
}
