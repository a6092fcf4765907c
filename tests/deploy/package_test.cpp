#include <gtest/gtest.h>

#include <cstring>

#include "DeployTestSupport.h"
#include "platform/HeldFile.h"
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
        PackageOutcome outcome = RunSetupPackageFrom(path);
        EXPECT_EQ(outcome.kind, PackageOutcome::badSignature);
        EXPECT_EQ(outcome.report, "Bad Signature");
        EXPECT_TRUE(box.messages.empty()) << "the install sequence tells the user";
        EXPECT_TRUE(NewSepFiles().empty()) << "nothing may be written for a bad setup file";
        EXPECT_TRUE(Records().empty()) << "the package must not run";
        EXPECT_FALSE(VerifySetupFileAt(path));
        FileError error(FileError::none, 0, std::string());
        ImageCheck check = VerifySetupFileAt(path, &error);
        EXPECT_NE(check, ImageCheck::ok);
        EXPECT_NE(check, ImageCheck::unreadable);
    }

    TempTree tree{TempDirectory() + "tlx_package_test"};
    std::string setup = tree / "Setup.exe";
    std::string recordFile = tree / "record.txt";
    ScopedEnv log{"TLX_DOUBLE_LOG", recordFile};
    std::vector<unsigned char> program, package;
    std::set<std::string> sepBefore;
};
} // namespace

TEST_F(ExtractPackageTest, RunsExactlyThePackageBytesFromADirectoryOfItsOwn)
{
    ScopedEnv copy("TLX_PACKAGE_COPY", tree / "copy.bin");
    MessageCapture box;
    EXPECT_TRUE(VerifySetupFileAt(setup));
    PackageOutcome result = RunSetupPackageFrom(setup);
    EXPECT_EQ(result.kind, PackageOutcome::ran);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(box.messages.empty());

    // The package was started with no arguments as package.exe in a
    // directory made for this run, %TEMP%\sep<16 hex digits>.tmp ...
    std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 1u);
    std::string line = records[0];
    ASSERT_EQ(line.rfind("start\tpackage.exe\t\t", 0), 0u) << line;
    std::string started = line.substr(line.rfind('\t') + 1);
    std::string temp = TempDirectory();
    ASSERT_EQ(_stricmp(started.substr(0, temp.size()).c_str(), temp.c_str()), 0) << started;
    std::string dir = started.substr(temp.size());
    ASSERT_EQ(dir.size(), 3 + 16 + 4 + 1 + 11) << started;
    EXPECT_EQ(dir.substr(0, 3), "sep");
    EXPECT_EQ(dir.find_first_not_of("0123456789abcdef", 3), 19u) << dir;
    EXPECT_EQ(dir.substr(19), ".tmp\\package.exe");
    // ... whose bytes were exactly those between the image and the trailer,
    EXPECT_EQ(Bytes(tree / "copy.bin"), package);
    // and which is gone afterwards with its directory.
    EXPECT_FALSE(Exists(started));
    EXPECT_TRUE(NewSepFiles().empty());

    // Another run gets another directory.
    RunSetupPackageFrom(setup);
    records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NE(records[1], records[0]);
}

TEST_F(ExtractPackageTest, APackageEndingWithAnErrorIsReportedAsFailedWithoutAMessage)
{
    ScopedEnv exitCode("TLX_PACKAGE_EXIT", "7");
    MessageCapture box;
    PackageOutcome result = RunSetupPackageFrom(setup);
    EXPECT_EQ(result.kind, PackageOutcome::failedExit);
    EXPECT_EQ(result.exitCode, 7u);
    EXPECT_EQ(box.Texts(), std::vector<std::string>{});
    EXPECT_EQ(Records().size(), 1u);
    EXPECT_TRUE(NewSepFiles().empty());
}

// From the moment its digest is known until it has ended, the package file
// cannot be changed or deleted by anyone else: the package double tries both
// on itself while it runs. (A running program's file alone refuses the
// delete with access denied, 5; the setup's hold makes it a sharing
// violation, 32.) Then another program tries both on a held file, and again
// once it is let go.
TEST_F(ExtractPackageTest, NoOtherProgramCanWriteOrDeleteThePackageWhileItIsHeld)
{
    const std::string denied = "probe\twrite 32\tdelete 32"; // ERROR_SHARING_VIOLATION
    {
        ScopedEnv probe("TLX_PACKAGE_PROBE", "self");
        MessageCapture box;
        EXPECT_EQ(RunSetupPackageFrom(setup).kind, PackageOutcome::ran);
    }
    std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1], denied);
    EXPECT_TRUE(NewSepFiles().empty());

    std::string prober = tree / "prober.exe", held = tree / "held.bin";
    ASSERT_TRUE(CopyFileA(DoublePath("package.exe").c_str(), prober.c_str(), FALSE));
    ScopedEnv probe("TLX_PACKAGE_PROBE", held);
    HeldFile file;
    ASSERT_TRUE(file.Create(held, nullptr));
    file.Write("MZ", 2);
    file.Seal();
    unsigned long code = 1;
    ASSERT_TRUE(StartAndWait(prober, &code));
    file.Close();
    ASSERT_TRUE(StartAndWait(prober, &code));
    records = Records();
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[3], denied);
    EXPECT_EQ(records[5], "probe\twrite 0\tdelete 0");
}

TEST_F(ExtractPackageTest, EveryCallChecksAndRunsAgain)
{
    MessageCapture box;
    EXPECT_EQ(RunSetupPackageFrom(setup).kind, PackageOutcome::ran);
    EXPECT_EQ(RunSetupPackageFrom(setup).kind, PackageOutcome::ran);
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

// The release's name lies between package and trailer, under the digest: the
// package started is exactly the package; a name-block length that describes
// no block is a damaged file.
TEST_F(ExtractPackageTest, TheReleaseNameIsNoPartOfThePackage)
{
    std::string reason;
    ASSERT_TRUE(WriteSetupFile(tree / "program.bin", DoublePath("package.exe"), tree / "named.exe", &reason, "Demo 1.0"))
        << reason;
    ScopedEnv copy("TLX_PACKAGE_COPY", tree / "copy.bin");
    MessageCapture box;
    EXPECT_EQ(RunSetupPackageFrom(tree / "named.exe").kind, PackageOutcome::ran);
    EXPECT_TRUE(box.messages.empty());
    EXPECT_EQ(Bytes(tree / "copy.bin"), package);
    remove(recordFile.c_str());

    std::vector<unsigned char> body = program;
    body.insert(body.end(), package.begin(), package.end());
    WriteBytes(tree / "reserved.exe", Signed(body, static_cast<uint32_t>(program.size()), 0xDEADBEEF));
    ExpectRejectedUntouched(tree / "reserved.exe");
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

TEST_F(ExtractPackageTest, APackageThatCannotBeStartedIsReportedAndLeavesNothing)
{
    std::string text = "this is no program at all";
    std::vector<unsigned char> body = program;
    body.insert(body.end(), text.begin(), text.end());
    WriteBytes(tree / "noprogram.exe", Signed(body, static_cast<uint32_t>(program.size()), 0));
    MessageCapture box;
    PackageOutcome outcome = RunSetupPackageFrom(tree / "noprogram.exe");
    EXPECT_EQ(outcome.kind, PackageOutcome::notStarted);
    EXPECT_EQ(outcome.report, "ERR 203: Create a process failed!");
    EXPECT_TRUE(box.messages.empty());
    // Each retry of state 6 would otherwise leave one more copy behind.
    EXPECT_TRUE(NewSepFiles().empty());
}

TEST_F(ExtractPackageTest, AnUnreadableSetupFileGetsTheFileErrorReport)
{
    MessageCapture box;
    PackageOutcome outcome = RunSetupPackageFrom(tree / "missing.exe");
    EXPECT_EQ(outcome.kind, PackageOutcome::unreadable);
    EXPECT_NE(outcome.report.find("missing.exe"), std::string::npos) << outcome.report;
    EXPECT_TRUE(box.messages.empty());
    EXPECT_TRUE(NewSepFiles().empty());
    // The check tells an unreadable file from a damaged one, and names it.
    FileError error(FileError::none, 0, std::string());
    EXPECT_EQ(VerifySetupFileAt(tree / "missing.exe", &error), ImageCheck::unreadable);
    EXPECT_EQ(error.m_cause, FileError::fileNotFound);
    EXPECT_NE(error.m_fileName.find("missing.exe"), std::string::npos) << error.m_fileName;
    // A file another program holds without sharing is a file error too.
    HANDLE held = CreateFileA(setup.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(VerifySetupFileAt(setup, &error), ImageCheck::unreadable);
    EXPECT_EQ(error.m_cause, FileError::sharingViolation);
    CloseHandle(held);
    EXPECT_EQ(VerifySetupFileAt(setup, &error), ImageCheck::ok);
}

TEST(RunningProgram, IsThisTestExecutable)
{
    std::string path = RunningProgramPath();
    EXPECT_NE(path.find("package_test"), std::string::npos) << path;
    // The test executable carries no trailer.
    EXPECT_FALSE(VerifySetupFile());
}
