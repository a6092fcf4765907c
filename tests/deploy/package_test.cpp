#include <gtest/gtest.h>

#include <cstring>

#include "DeployTestSupport.h"
#include "platform/Md5.h"
#include "deploy/Package.h"
#include "platform/Process.h"
#include "setupfile/SetupImage.h"

namespace {
std::vector<unsigned char> Bytes(const std::string& path)
{
    std::vector<unsigned char> b;
    ReadWholeFile(path, b);
    return b;
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& b) { WriteWholeFile(path, b.data(), b.size()); }

// A setup file with a re-signed trailer whose fields are chosen by the test.
std::vector<unsigned char> Signed(const std::vector<unsigned char>& body, uint32_t offset, uint32_t reserved)
{
    PackageTrailer t;
    t.packageOffset = offset;
    t.reserved = reserved;
    EXPECT_TRUE(Md5Digest(body.data(), body.size(), t.digest));
    std::vector<unsigned char> out = body;
    unsigned char enc[kTrailerSize];
    EncodeTrailer(t, enc);
    out.insert(out.end(), enc, enc + kTrailerSize);
    return out;
}

class ExtractPackageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program = std::vector<unsigned char>(5000);
        for (size_t i = 0; i < program.size(); ++i)
            program[i] = static_cast<unsigned char>(i * 7 + 1);
        WriteBytes(tree / "program.bin", program);
        package = Bytes(DoublePath("package.exe"));
        ASSERT_GT(package.size(), 1000u);
        std::string reason;
        ASSERT_TRUE(WriteSetupFile(tree / "program.bin", DoublePath("package.exe"), setup, &reason)) << reason;
        sepBefore = FilesMatching(TempDirectory(), "sep*.tmp");
    }

    std::vector<std::string> Records() { return Exists(recordFile) ? SplitLines(ReadText(recordFile)) : std::vector<std::string>(); }
    std::set<std::string> NewSepFiles()
    {
        std::set<std::string> now = FilesMatching(TempDirectory(), "sep*.tmp"), added;
        for (const auto& n : now)
            if (!sepBefore.count(n))
                added.insert(n);
        return added;
    }
    void ExpectRejectedUntouched(const std::string& path)
    {
        MessageCapture box;
        EXPECT_FALSE(ExtractPackageFrom(path));
        ASSERT_EQ(box.messages.size(), 1u);
        EXPECT_EQ(box.messages[0].text, "Bad Signature");
        EXPECT_EQ(box.messages[0].type, static_cast<unsigned>(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_TRUE(NewSepFiles().empty()) << "nothing may be written for a bad setup file";
        EXPECT_TRUE(Records().empty()) << "the package must not run";
        EXPECT_FALSE(VerifySetupFileAt(path));
    }

    TempTree tree{TempDirectory() + "tlx_package_test"};
    std::string setup = tree / "Setup.exe";
    std::string recordFile = tree / "record.txt";
    ScopedEnv log{"TLX_DOUBLE_LOG", recordFile};
    std::vector<unsigned char> program, package;
    std::set<std::string> sepBefore;
};
} // namespace

TEST_F(ExtractPackageTest, RunsExactlyThePackageBytesFromASepFileAndIgnoresItsExitCode)
{
    ScopedEnv copy("TLX_PACKAGE_COPY", tree / "copy.bin");
    ScopedEnv exitCode("TLX_PACKAGE_EXIT", "7");
    MessageCapture box;
    EXPECT_TRUE(VerifySetupFileAt(setup));
    EXPECT_TRUE(ExtractPackageFrom(setup));
    EXPECT_TRUE(box.messages.empty());

    // The package was started from a "sep" temp file with no arguments ...
    std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 1u);
    std::string line = records[0];
    ASSERT_EQ(line.rfind("start\tsep", 0), 0u) << line;
    std::string started = line.substr(line.rfind('\t') + 1);
    EXPECT_EQ(line.substr(0, line.rfind('\t')), "start\t" + started.substr(started.rfind('\\') + 1) + "\t");
    EXPECT_EQ(_stricmp(started.substr(0, TempDirectory().size()).c_str(), TempDirectory().c_str()), 0) << started;
    EXPECT_EQ(_stricmp(started.substr(started.size() - 4).c_str(), ".tmp"), 0) << started;
    // ... whose bytes were exactly those between the image and the trailer,
    EXPECT_EQ(Bytes(tree / "copy.bin"), package);
    // and which is gone afterwards.
    EXPECT_FALSE(Exists(started));
    EXPECT_TRUE(NewSepFiles().empty());
}

TEST_F(ExtractPackageTest, EveryCallChecksAndRunsAgain)
{
    MessageCapture box;
    EXPECT_TRUE(ExtractPackageFrom(setup));
    EXPECT_TRUE(ExtractPackageFrom(setup));
    EXPECT_EQ(Records().size(), 2u);
    EXPECT_TRUE(box.messages.empty());
}

TEST_F(ExtractPackageTest, AChangedByteAnywhereBeforeTheTrailerIsABadSignature)
{
    std::vector<unsigned char> good = Bytes(setup);
    for (size_t at : {size_t(0), size_t(4999), size_t(5000), good.size() - kTrailerSize - 1}) {
        std::vector<unsigned char> bad = good;
        bad[at] ^= 0x01;
        WriteBytes(tree / "bad.exe", bad);
        SCOPED_TRACE(at);
        ExpectRejectedUntouched(tree / "bad.exe");
    }
    // A changed digest byte is caught the same way.
    std::vector<unsigned char> bad = good;
    bad[bad.size() - 1] ^= 0x80;
    WriteBytes(tree / "bad.exe", bad);
    ExpectRejectedUntouched(tree / "bad.exe");
}

TEST_F(ExtractPackageTest, ASetupFileCutShortIsABadSignature)
{
    std::vector<unsigned char> good = Bytes(setup);
    for (size_t cut : {size_t(1), size_t(23), size_t(24), size_t(25), size_t(4096), good.size() - 23, good.size()}) {
        std::vector<unsigned char> shortened(good.begin(), good.end() - cut);
        WriteBytes(tree / "short.exe", shortened);
        SCOPED_TRACE(cut);
        ExpectRejectedUntouched(tree / "short.exe");
    }
}

TEST_F(ExtractPackageTest, TheReservedFieldIsNotInterpreted)
{
    std::vector<unsigned char> body = program;
    body.insert(body.end(), package.begin(), package.end());
    WriteBytes(tree / "reserved.exe", Signed(body, static_cast<uint32_t>(program.size()), 0xDEADBEEF));
    MessageCapture box;
    EXPECT_TRUE(ExtractPackageFrom(tree / "reserved.exe"));
    EXPECT_TRUE(box.messages.empty());
    EXPECT_EQ(Records().size(), 1u);
}

TEST_F(ExtractPackageTest, ASignedOffsetBeyondTheTrailerIsABadSignature)
{
    std::vector<unsigned char> body = program;
    body.insert(body.end(), package.begin(), package.end());
    for (uint32_t offset : {static_cast<uint32_t>(body.size() + 1), static_cast<uint32_t>(body.size() + 24),
                            0xFFFFFFFFu}) {
        WriteBytes(tree / "beyond.exe", Signed(body, offset, 0));
        SCOPED_TRACE(offset);
        ExpectRejectedUntouched(tree / "beyond.exe");
    }
}

TEST_F(ExtractPackageTest, APackageThatCannotBeStartedLeavesItsTempFile)
{
    std::string text = "this is no program at all";
    std::vector<unsigned char> body = program;
    body.insert(body.end(), text.begin(), text.end());
    WriteBytes(tree / "noprogram.exe", Signed(body, static_cast<uint32_t>(program.size()), 0));
    MessageCapture box;
    EXPECT_FALSE(ExtractPackageFrom(tree / "noprogram.exe"));
    EXPECT_EQ(box.Texts(), std::vector<std::string>{"ERR 203: Create a process failed!"});
    std::set<std::string> left = NewSepFiles();
    ASSERT_EQ(left.size(), 1u);
    std::string leftPath = TempDirectory() + *left.begin();
    EXPECT_EQ(ReadText(leftPath), text);
    DeleteFileA(leftPath.c_str());
}

TEST_F(ExtractPackageTest, AnUnreadableSetupFileGetsTheFileErrorReport)
{
    MessageCapture box;
    EXPECT_FALSE(ExtractPackageFrom(tree / "missing.exe"));
    ASSERT_EQ(box.messages.size(), 1u);
    EXPECT_NE(box.messages[0].text.find("missing.exe"), std::string::npos) << box.messages[0].text;
    EXPECT_TRUE(NewSepFiles().empty());
    EXPECT_FALSE(VerifySetupFileAt(tree / "missing.exe"));
}

TEST(RunningProgram, IsThisTestExecutable)
{
    std::string path = RunningProgramPath();
    EXPECT_NE(path.find("package_test"), std::string::npos) << path;
    // The test executable carries no trailer.
    EXPECT_FALSE(VerifySetupFile());
}
