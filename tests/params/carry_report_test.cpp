#include <gtest/gtest.h>

#include <algorithm>

#include "format/FmtNameParser.h"
#include "params/AmendMerge.h"
#include "params/CarryReport.h"

namespace {
// The new release: m_fOldGain is gone, m_naLimit shrank to two elements,
// m_fNewFeed is new; m_szName is a text listed under its bare name.
const char kNewFormat[] =
    "struct CPoint { double m_fX; double m_fY; };\n"
    "field CController {\n"
    "  int m__df_beginCController;\n"
    "  double m_fSpeed;\n"
    "  int m_naLimit[2];\n"
    "  double m_fNewFeed;\n"
    "  double m_nxaOffset[2];\n"
    "  CPoint m_home;\n"
    "  char m_szName[8];\n"
    "  int m__df_endCController;\n"
    "};\n";

const char kSaved[] = "[CController]\r\n"
                      "m__df_beginCController = 1\r\n"
                      "m_fSpeed = 12.5\r\n"
                      "m_fOldGain = 0.75\r\n"
                      "m_naLimit[0] = 100\r\n"
                      "m_naLimit[1] = 200\r\n"
                      "m_naLimit[2] = 300\r\n"
                      "m_nxaOffset[1] = 1.5\r\n"
                      "m_home.m_fX = -3.125\r\n"
                      "m_szName = \"MILL-A\"\r\n";

const char kTarget[] = "; amend file of the new release\r\n"
                       "[CController]\r\n"
                       "m_fSpeed = 100\r\n"
                       "m_fNewFeed = 7.5\r\n"
                       "m_nxaOffset[0] = 9\r\n"
                       "m_home.m_fY=2\r\n"
                       "m_gone = 4\r\n"
                       "[Machine]\r\n"
                       "Type = Mill\r\n";

std::vector<std::string> Declared()
{
    CFmtNameParser names;
    names.SetFieldName("CController");
    EXPECT_TRUE(names.ScanText(kNewFormat, sizeof kNewFormat - 1, "tornelix.fmt"));
    return names.m_names;
}

bool Contains(const std::string& text, const std::string& line) { return text.find(line + "\r\n") != std::string::npos; }
} // namespace

// Every value of the machine is either carried or named as dropped (the
// excluded members neither), every new member is named with the default it
// keeps; and that is what the merge writes.
TEST(CarryReport, NamesWhatTheMergeDropsAndAdds)
{
    const std::vector<std::string> declared = Declared();
    CarryReport report = BuildCarryReport("Mill", kSaved, kTarget, declared);

    EXPECT_EQ(report.configuration, "Mill");
    EXPECT_EQ(report.carried, 5u); // m_fSpeed, m_naLimit[0], [1], m_home.m_fX, m_szName
    ASSERT_EQ(report.dropped.size(), 2u);
    EXPECT_EQ(report.dropped[0].key, "m_fOldGain");
    EXPECT_EQ(report.dropped[0].value, "0.75");
    EXPECT_EQ(report.dropped[1].key, "m_naLimit[2]");
    EXPECT_EQ(report.dropped[1].value, "300");
    // m_nxaOffset[0] is never carried, m_gone is not declared, m_fSpeed had a
    // value on the machine, Type is outside the controller section.
    ASSERT_EQ(report.added.size(), 2u);
    EXPECT_EQ(report.added[0].key, "m_fNewFeed");
    EXPECT_EQ(report.added[0].value, "7.5");
    EXPECT_EQ(report.added[1].key, "m_home.m_fY");
    EXPECT_EQ(report.added[1].value, "2");

    // The merge's own tally (what paramtool merge prints) tells the same story.
    std::string merged;
    MergeTally tally;
    MergeAmendTextByNames(kSaved, kTarget, declared, merged, &tally);
    EXPECT_EQ(tally.carried, report.carried);
    auto same = [](const AmendEntries& a, const AmendEntries& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const AmendEntry& x, const AmendEntry& y) {
                   return x.key == y.key && x.value == y.value;
               });
    };
    EXPECT_TRUE(same(tally.dropped, report.dropped));
    EXPECT_TRUE(same(tally.added, report.added));
    for (const AmendEntry& entry : report.dropped)
        EXPECT_EQ(merged.find(entry.key + " ="), std::string::npos) << entry.key;
    for (const AmendEntry& entry : report.added)
        EXPECT_TRUE(Contains(merged, entry.key + " = " + entry.value)) << entry.key;
    EXPECT_TRUE(Contains(merged, "m_szName = \"MILL-A\""));

    std::vector<std::string> lines = CarryReportLines(report);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], CarryReportCounts(report));
    EXPECT_NE(lines[1].find("m_fOldGain = 0.75"), std::string::npos);
    EXPECT_NE(lines[3].find("m_fNewFeed = 7.5"), std::string::npos);
}

// A machine with nothing saved carries nothing and drops nothing; each of the
// release's declared entries is new.
TEST(CarryReport, NothingSaved)
{
    CarryReport report = BuildCarryReport("Lathe", "", kTarget, Declared());
    EXPECT_EQ(report.carried, 0u);
    EXPECT_TRUE(report.dropped.empty());
    EXPECT_EQ(report.added.size(), 3u); // m_fSpeed, m_fNewFeed, m_home.m_fY
}
