// The name scan: the declared names of one field block, arrays expanded.
#include <gtest/gtest.h>

#include "FormatTestFiles.h"
#include "format/FmtNameParser.h"

namespace {
struct ScanResult {
    bool ok;
    std::vector<std::string> names;
    std::string error;
};

ScanResult ScanText(const std::string& text, const std::string& field = "CController")
{
    ScratchFiles files;
    TraceRecords trace;
    CFmtNameParser parser;
    parser.SetFieldName(field);
    ScanResult r;
    r.ok = parser.Scan(files.Write("n.fmt", text));
    r.names = parser.m_names;
    r.error = parser.LastError();
    if (r.ok)
        EXPECT_EQ(trace.Text(), "");
    else
        EXPECT_EQ(trace.Text().compare(0, r.error.size(), r.error), 0) << "a failed scan is logged";
    return r;
}

using Names = std::vector<std::string>;
} // namespace

TEST(NameScan, ListsTheWantedBlockWithArraysExpanded)
{
    ScanResult r = ScanText("struct Axis { double pos; int dir[2]; };\n"
                            "field CConfig { int x; };\n"
                            "field CController {\n"
                            "  DWORD a /* -n A */, b[2];\n"
                            "  guard_t g;\n"
                            "  Axis axis[0x2];\n"
                            "  char *p;\n"
                            "};\n"
                            "field CController { int again; };\n");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.names, (Names{"a", "b[0]", "b[1]", "g", "axis[0]", "axis[1]", "p"}));
}

TEST(NameScan, ReadsOnlyWhatItNeeds)
{
    // Nothing after the wanted block is read; types are not looked up.
    ScanResult r = ScanText("field CController { Unknown u; }; = garbage");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.names, (Names{"u"}));
    // Everything before it is tokenized, however.
    r = ScanText("struct S { int a = 1; };\nfield CController { int u; };");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("-n.fmt(1): Unexpected char\n"), std::string::npos) << r.error;
}

TEST(NameScan, AbsentBlockAndEmptyBody)
{
    ScanResult r = ScanText("field Other { int a; };\n");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.names.empty());
    r = ScanText("field CController { };\n");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.names.empty());
    r = ScanText("field CController { int a; };", "ccontroller");
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.names.empty());
}

TEST(NameScan, UnsignedTypesAnywhereInTheBody)
{
    ScanResult r = ScanText("field CController { unsigned int a; int b; unsigned short c[2]; };");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.names, (Names{"a", "b", "c[0]", "c[1]"}));
}

TEST(NameScan, Errors)
{
    ScanResult r = ScanText("field CController {\n int a[0];\n};");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("(2): Array size should be greater than zero\n"), std::string::npos) << r.error;
    r = ScanText("field CController { int a }; ");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("Expecting token 'semicolon(;)'"), std::string::npos) << r.error;
    r = ScanText("field { int a; };");
    EXPECT_NE(r.error.find("Expecting token 'an identifier'"), std::string::npos) << r.error;

    // A huge array count fails cleanly instead of exhausting memory.
    r = ScanText("field CController { char big[0x7FFFFFFF]; };");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("Too many member names"), std::string::npos) << r.error;
}

TEST(NameScan, NamesAccumulateAcrossScans)
{
    ScratchFiles files;
    CFmtNameParser parser;
    ASSERT_TRUE(parser.Scan(files.Write("a.fmt", "field CController { int a; };")));
    ASSERT_TRUE(parser.Scan(files.Write("b.fmt", "field CController { int b; };")));
    EXPECT_EQ(parser.m_names, (Names{"a", "b"}));
    EXPECT_FALSE(parser.Scan(files.Missing("c.fmt")));
    EXPECT_EQ(parser.m_names.size(), 2u);
}

TEST(NameScan, NameCapBoundary)
{
    ScratchFiles files;
    TraceRecords trace;
    CFmtNameParser parser;
    parser.m_nMaxNames = 3;
    EXPECT_TRUE(parser.Scan(files.Write("c1.fmt", "field CController { int a[2], b; };")));
    EXPECT_EQ(parser.m_names, (Names{"a[0]", "a[1]", "b"}));
    // The cap counts the names of one scan, not what earlier scans left.
    EXPECT_FALSE(parser.Scan(files.Write("c2.fmt", "field CController { int a[2], b, c; };")));
    EXPECT_NE(parser.LastError().find("Too many member names (more than 3)"), std::string::npos);
}
