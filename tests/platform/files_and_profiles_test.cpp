#include <gtest/gtest.h>

#include <cstdio>

#include "platform/File.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/StringUtil.h"
#include "platform/TempDirectory.h"
#include "support/TempTree.h"

namespace {
std::string Scratch(const std::string& name) { return SystemTempDirectory() + "tlx_platform_" + name; }
} // namespace

TEST(TextFile, WritesNewlinesAsCrLfAndReadsThemBackAsLines)
{
    std::string path = Scratch("lines.txt");
    {
        TextFile f;
        ASSERT_TRUE(f.Open(path, BinaryFile::modeCreate | BinaryFile::modeWrite));
        f.WriteString("first\nsecond\n");
        f.WriteString("third");
        f.Close();
    }
    EXPECT_EQ(ReadText(path), "first\r\nsecond\r\nthird");

    TextFile f;
    ASSERT_TRUE(f.Open(path, BinaryFile::modeRead));
    std::string line;
    std::vector<std::string> lines;
    while (f.ReadString(line))
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "third"}));
    f.Close();
    remove(path.c_str());
}

TEST(TextFile, FoldsOnlyCrLfPairsAndSurvivesBufferBoundaries)
{
    std::string path = Scratch("cr.txt");
    // A CR LF pair split across the 4096-byte read buffer, and a lone CR.
    std::string content(4095, 'a');
    content += "\r\nb\rc";
    WriteText(path, content);
    TextFile f;
    ASSERT_TRUE(f.Open(path, BinaryFile::modeRead));
    for (int i = 0; i < 4095; ++i)
        ASSERT_EQ(f.GetChar(), 'a');
    EXPECT_EQ(f.GetChar(), '\n');
    EXPECT_EQ(f.GetChar(), 'b');
    EXPECT_EQ(f.GetChar(), '\r');
    int c = f.GetChar();
    EXPECT_EQ(c, 'c');
    f.UngetChar(c);
    EXPECT_EQ(f.GetChar(), 'c');
    EXPECT_EQ(f.GetChar(), -1);
    f.Close();
    remove(path.c_str());
}

TEST(TextFile, AppendAfterSeekToEndKeepsEarlierContent)
{
    std::string path = Scratch("append.txt");
    WriteText(path, "old\r\n");
    TextFile f;
    ASSERT_TRUE(f.Open(path, BinaryFile::modeCreate | BinaryFile::modeNoTruncate | BinaryFile::modeWrite));
    f.SeekToEnd();
    f.WriteString("new\n");
    f.Close();
    EXPECT_EQ(ReadText(path), "old\r\nnew\r\n");
    remove(path.c_str());
}

TEST(BinaryFile, ReportsMissingFilesAndShortReads)
{
    BinaryFile f;
    FileError error(FileError::none, 0, "");
    EXPECT_FALSE(f.Open(Scratch("does-not-exist.bin"), BinaryFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, FileError::fileNotFound);
    EXPECT_NE(error.m_osError, 0);
    EXPECT_THROW(f.OpenOrThrow(Scratch("does-not-exist.bin"), BinaryFile::modeRead), FileError);

    std::string path = Scratch("short.bin");
    WriteText(path, "abc");
    ASSERT_TRUE(f.Open(path, BinaryFile::modeRead));
    char buf[8];
    try {
        f.ReadExact(buf, 4);
        FAIL() << "a short read must throw";
    } catch (const FileError& e) {
        EXPECT_EQ(e.m_cause, FileError::endOfFile);
        EXPECT_EQ(e.m_fileName, path);
    }
    f.Close();
    remove(path.c_str());
}

TEST(Profile, ReadsKeysCaseInsensitivelyWithDefaultsForMissingParts)
{
    std::string path = Scratch("profile.ini");
    WriteText(path, "[Settings]\r\nPath = TorneLix\\ \r\n[Operation]\r\nPackup=1\r\nEmpty=\r\n");
    EXPECT_EQ(ProfileGetString(path, "settings", "PATH"), "TorneLix\\");
    EXPECT_EQ(ProfileGetString(path, "Settings", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ProfileGetString(path, "NoSection", "Path"), "");
    EXPECT_EQ(ProfileGetString(path, "Operation", "Empty", "dflt"), "");
    EXPECT_EQ(ProfileGetString(Scratch("no-such.ini"), "Settings", "Path"), "");
    EXPECT_EQ(ProfileGetInt(path, "Operation", "Packup", 0), 1);
    EXPECT_EQ(ProfileGetInt(path, "Operation", "Absent", 7), 7);
    // A value longer than the buffer is cut to the buffer, never past it.
    EXPECT_EQ(ProfileGetString(path, "Settings", "Path", "", 4), "Tor");
    remove(path.c_str());
}

TEST(Profile, WritesAKeyIntoANewOrExistingSection)
{
    std::string path = Scratch("write.ini");
    WriteText(path, "[Other]\r\nkey=1\r\n");
    ASSERT_TRUE(ProfileWriteString(path, "ActiveLang", "ActiveLang", "chn"));
    EXPECT_EQ(ProfileGetString(path, "ActiveLang", "ActiveLang"), "chn");
    ASSERT_TRUE(ProfileWriteString(path, "ActiveLang", "ActiveLang", "eng"));
    EXPECT_EQ(ProfileGetString(path, "ActiveLang", "ActiveLang"), "eng");
    EXPECT_EQ(ProfileGetString(path, "Other", "key"), "1");
    remove(path.c_str());
}

TEST(Profile, TextInMemoryReadsAndWritesAsAFileWould)
{
    // Lines end at LF; only the CR of a CR LF goes with it, a lone CR stays in
    // the line (and is trimmed like any blank at its ends).
    const std::string text = "[A]\r\nk=1\r\r\nq = 'x\ry' \n[B]\rk=2\r\n[b]\r\nk=3";
    EXPECT_EQ(ProfileGetStringInText(text, "a", "K"), "1");
    EXPECT_EQ(ProfileGetStringInText(text, "A", "q"), "x\ry");
    // "[B]\rk=2" is one line: an empty section B, the first of that name.
    EXPECT_EQ(ProfileGetStringInText(text, "b", "k", "dflt"), "dflt");
    EXPECT_EQ(ProfileGetIntInText(text, "B", "k", 7), 7);
    EXPECT_EQ(ProfileGetIntInText("", "A", "k", 7), 7);

    // A key replaced in place, a new one at the end of its section, a new
    // section at the end; every line then ends in CR LF.
    std::string written = ProfileWriteStringInText(text, "A", "K", "v");
    EXPECT_EQ(written, "[A]\r\nK=v\r\nq = 'x\ry' \r\n[B]\rk=2\r\n[b]\r\nk=3\r\n");
    written = ProfileWriteStringInText(written, "b", "n", "w");
    EXPECT_EQ(written, "[A]\r\nK=v\r\nq = 'x\ry' \r\n[B]\rk=2\r\nn=w\r\n[b]\r\nk=3\r\n");
    EXPECT_EQ(ProfileWriteStringInText("x\r", "S", "k", "v"), "x\r\r\n[S]\r\nk=v\r\n");
}

TEST(StringUtil, FixedBuffersRefuseWhatDoesNotFit)
{
    char buf[8];
    EXPECT_TRUE(CopyFits(buf, sizeof buf, "1234567"));
    EXPECT_STREQ(buf, "1234567");
    EXPECT_FALSE(CopyFits(buf, sizeof buf, "12345678"));
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(StrPrintf("%s=%d", "n", 42), "n=42");
    EXPECT_EQ(StrPrintf("%s", std::string(5000, 'z').c_str()).size(), 5000u);
}

TEST(MessageBox, BoxesWithoutIconGetTheExclamationOrQuestionIcon)
{
    EXPECT_EQ(WithDefaultIcon(MB_OK), unsigned(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(WithDefaultIcon(MB_OKCANCEL), unsigned(MB_OKCANCEL | MB_ICONEXCLAMATION));
    EXPECT_EQ(WithDefaultIcon(MB_YESNO), unsigned(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(WithDefaultIcon(MB_OK | MB_ICONINFORMATION), unsigned(MB_OK | MB_ICONINFORMATION));

    std::string seen;
    unsigned seenType = 0;
    SetMessageHandler([&](const std::string& text, unsigned type) {
        seen = text;
        seenType = type;
        return IDNO;
    });
    EXPECT_EQ(ShowMessageBox("keep?", MB_YESNO), IDNO);
    SetMessageHandler(nullptr);
    EXPECT_EQ(seen, "keep?");
    EXPECT_EQ(seenType, unsigned(MB_YESNO | MB_ICONQUESTION));
}
