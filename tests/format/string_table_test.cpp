// The numbered string table: range rules, caching, the failure log line and
// the escape decoding.
#include <gtest/gtest.h>

#include "FormatTestFiles.h"
#include "format/StringTable.h"

namespace {
class StringTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = m_files.Dir("strings");
        SetStringTableDir(m_dir);
        ReleaseStringTable();
    }
    void TearDown() override
    {
        ReleaseStringTable();
        SetStringTableDir("");
    }
    void WriteTable(const std::string& text) { m_files.WriteIn(m_dir, "Tornelix.string", text); }

    ScratchFiles m_files;
    std::string m_dir;
    TraceRecords m_trace;
};

std::string g_providedDir;
std::string ProvidedDir() { return g_providedDir; }
} // namespace

TEST_F(StringTable, RangeAndCaching)
{
    WriteTable("[Attribute]\r\nMaxIndex=5\r\n\r\n[STRING]\r\n1=one\r\n5 = five \r\n6=six\r\n");
    EXPECT_STREQ(GetResourceString(5), "five");
    EXPECT_STREQ(GetResourceString(1), "one");
    EXPECT_STREQ(GetResourceString(6), "!ErrStr!");
    EXPECT_STREQ(GetResourceString(-1), "!ErrStr!");
    EXPECT_STREQ(GetResourceString(0), "");
    EXPECT_EQ(m_trace.Text(), "");

    // Cached texts survive a change of the file; a reload reads it again.
    const char* five = GetResourceString(5);
    WriteTable("[Attribute]\r\nMaxIndex=5\r\n[STRING]\r\n5=changed\r\n");
    EXPECT_EQ(GetResourceString(5), five);
    EXPECT_STREQ(GetResourceString(5), "five");
    EXPECT_TRUE(LoadStringTable());
    EXPECT_STREQ(GetResourceString(5), "changed");
}

TEST_F(StringTable, MissingKeyIsLoggedOnce)
{
    WriteTable("[Attribute]\nMaxIndex=9\n[STRING]\n2=two\n3=!errstr!\n");
    EXPECT_STREQ(GetResourceString(4), "!ErrStr!");
    EXPECT_STREQ(GetResourceString(4), "!ErrStr!");
    EXPECT_EQ(m_trace.Count("|E|Load string 4 failed\n"), 1);
    // A text that reads like the default counts as missing, in any letter case.
    EXPECT_STREQ(GetResourceString(3), "!errstr!");
    EXPECT_EQ(m_trace.Count("|E|Load string 3 failed\n"), 1);
    EXPECT_STREQ(GetResourceString(2), "two");
    EXPECT_EQ(m_trace.Count("failed"), 2);
}

TEST_F(StringTable, MissingFileOrEmptyTable)
{
    EXPECT_STREQ(GetResourceString(0), "!ErrStr!");
    EXPECT_STREQ(GetResourceString(1), "!ErrStr!");
    // Without a loaded table every request looks at the file again.
    WriteTable("[Attribute]\nMaxIndex=1\n[STRING]\n1=late\n");
    EXPECT_STREQ(GetResourceString(1), "late");

    ReleaseStringTable();
    WriteTable("[Attribute]\nMaxIndex=0\n[STRING]\n1=zero\n");
    EXPECT_STREQ(GetResourceString(1), "!ErrStr!");
    WriteTable("[STRING]\n1=no attribute\n");
    EXPECT_STREQ(GetResourceString(1), "!ErrStr!");
    EXPECT_EQ(m_trace.Text(), "");
}

TEST_F(StringTable, HugeMaxIndexAllocatesNothing)
{
    WriteTable("[Attribute]\nMaxIndex=2147483647\n[STRING]\n2147483647=last\n");
    EXPECT_STREQ(GetResourceString(2147483647), "last");
    EXPECT_STREQ(GetResourceString(7), "!ErrStr!");
}

TEST_F(StringTable, MaxIndexReadsAsTheProfileCallReadsIt)
{
    // Leading zeros are decimal, not octal; "0x" is hexadecimal.
    WriteTable("[Attribute]\nMaxIndex=012\n[STRING]\n12=twelve\n13=thirteen\n16=sixteen\n17=seventeen\n");
    EXPECT_STREQ(GetResourceString(12), "twelve");
    EXPECT_STREQ(GetResourceString(13), "!ErrStr!");
    WriteTable("[Attribute]\nMaxIndex=0x10\n[STRING]\n16=sixteen\n17=seventeen\n");
    LoadStringTable();
    EXPECT_STREQ(GetResourceString(16), "sixteen");
    EXPECT_STREQ(GetResourceString(17), "!ErrStr!");
    WriteTable("[Attribute]\nMaxIndex= 2 items\n[STRING]\n2=two\n3=three\n");
    LoadStringTable();
    EXPECT_STREQ(GetResourceString(2), "two");
    EXPECT_STREQ(GetResourceString(3), "!ErrStr!");
    WriteTable("[Attribute]\nMaxIndex=\n[STRING]\n1=one\n");
    LoadStringTable();
    EXPECT_STREQ(GetResourceString(1), "!ErrStr!");
    EXPECT_EQ(m_trace.Text(), "");
}

TEST_F(StringTable, ProfileLinesAsTheControlProgramWritesThem)
{
    WriteTable("[attribute]\r\n  MaxIndex = 9 \r\n[String] ; texts\r\nno equals sign\r\n"
               "  7  =  seven  \r\n8=a=b\r\n8=second\r\n[Other]\r\n9=other\r\n[STRING]\r\n9=again\r\n");
    EXPECT_STREQ(GetResourceString(7), "seven");
    EXPECT_STREQ(GetResourceString(8), "a=b"); // the first of two keys
    EXPECT_STREQ(GetResourceString(9), "!ErrStr!"); // only the first section of a name counts
    EXPECT_EQ(m_trace.Count("|E|Load string 9 failed\n"), 1);
}

TEST_F(StringTable, TextsAreCutAt1023Characters)
{
    WriteTable("[Attribute]\nMaxIndex=1\n[STRING]\n1=" + std::string(2000, 'a') + "\n");
    EXPECT_EQ(std::string(GetResourceString(1)).size(), 1023u);
}

TEST_F(StringTable, QuotedValuesLoseTheirQuotes)
{
    WriteTable("[Attribute]\nMaxIndex=3\n[STRING]\n1=\"  padded \"\n2=\\\"kept\\\"\n3='single'\n");
    EXPECT_STREQ(GetResourceString(1), "  padded ");
    EXPECT_STREQ(GetResourceString(2), "\"kept\"");
    EXPECT_STREQ(GetResourceString(3), "single");
}

TEST_F(StringTable, ProviderIsAskedOnEveryLoad)
{
    WriteTable("[Attribute]\nMaxIndex=1\n[STRING]\n1=first\n");
    std::string other = m_files.Dir("strings2");
    m_files.WriteIn(other, "Tornelix.string", "[Attribute]\nMaxIndex=1\n[STRING]\n1=second\n");
    g_providedDir = m_dir;
    SetStringTableDirProvider(ProvidedDir);
    EXPECT_STREQ(GetResourceString(1), "first");
    g_providedDir = other.substr(0, other.size() - 1); // without the separator
    EXPECT_STREQ(GetResourceString(1), "first");        // still cached
    LoadStringTable();
    EXPECT_STREQ(GetResourceString(1), "second");
    EXPECT_EQ(StringTablePath(), other + "Tornelix.string");
}

TEST_F(StringTable, TextInMemoryNeverFallsBackToTheFile)
{
    WriteTable("[Attribute]\nMaxIndex=2\n[STRING]\n1=from file\n");
    LoadStringTableText("[attribute]\r\nMaxIndex=2\r\n[STRING]\r\n1=from \\x41\r\n");
    EXPECT_STREQ(GetResourceString(1), "from A");
    EXPECT_STREQ(GetResourceString(2), "!ErrStr!");
    EXPECT_EQ(m_trace.Count("|E|Load string 2 failed\n"), 1);
    // An empty table from memory stays empty; only a load reads the file.
    LoadStringTableText("[STRING]\n1=no attribute\n");
    EXPECT_STREQ(GetResourceString(1), "!ErrStr!");
    LoadStringTable();
    EXPECT_STREQ(GetResourceString(1), "from file");
}

TEST(StringEscapes, Decoding)
{
    EXPECT_EQ(DecodeStringEscapes("A\\tB"), "A\tB");
    EXPECT_EQ(DecodeStringEscapes("\\q"), "q");
    EXPECT_EQ(DecodeStringEscapes("\\x41"), "A");
    EXPECT_EQ(DecodeStringEscapes("\\X414"), "A4");
    EXPECT_EQ(DecodeStringEscapes("\\101"), "A");
    EXPECT_EQ(DecodeStringEscapes("\\1011"), "A1");
    EXPECT_EQ(DecodeStringEscapes("\\78"), "\a8");
    EXPECT_EQ(DecodeStringEscapes("\\777"), "\xFF"); // modulo 256
    EXPECT_EQ(DecodeStringEscapes("\\\"\\'\\\\"), "\"'\\");
    EXPECT_EQ(DecodeStringEscapes("\\a\\b\\f\\n\\r\\v"), "\a\b\f\n\r\v");
    // A decoded zero and a trailing backslash end the text.
    EXPECT_EQ(DecodeStringEscapes("ab\\0cd"), "ab");
    EXPECT_EQ(DecodeStringEscapes("ab\\xcd"), "ab\xCD");
    EXPECT_EQ(DecodeStringEscapes("ab\\xg"), "ab");
    EXPECT_EQ(DecodeStringEscapes("ab\\"), "ab");
    EXPECT_EQ(DecodeStringEscapes("\xD6\xD0\\n"), "\xD6\xD0\n");
}
