// Data files are checked by header and CRC-32 before any block is read, and a
// damaged or missing file is replaced by its whole backup; what the user and
// the trace log see in each case.
#include <gtest/gtest.h>

#include <cstring>

#include "messages/Messages.h"
#include "params/DataFileVerification.h"
#include "platform/MessageBox.h"
#include "support/DataFileWriter.h"
#include "support/ScratchDir.h"
#include "support/TraceCapture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
std::vector<unsigned char> Bytes(size_t n, unsigned char base)
{
    std::vector<unsigned char> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<unsigned char>(base + i * 7);
    return v;
}

DataFileWriter SampleFile(unsigned char base)
{
    DataFileWriter w;
    w.AddRecord("CConfig", Bytes(12, 1), DataFileWriter::stored);
    w.AddRecord("CController", Bytes(5000, base), DataFileWriter::compressed, 1500, true);
    return w;
}

std::vector<unsigned char> Contents(const std::string& path)
{
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes))
        bytes.assign({'?'});
    return bytes;
}

struct Messages {
    Messages()
    {
        SetMessageHandler([this](const std::string& text, unsigned type) {
            shown.push_back(text);
            types.push_back(type);
            return IDOK;
        });
    }
    ~Messages() { SetMessageHandler(nullptr); }
    std::vector<std::string> shown;
    std::vector<unsigned> types;
};

class DataFileVerification : public ::testing::Test {
protected:
    void SetUp() override { language = kLanguageEnglish; }
    void TearDown() override { language = kLanguageChinese; }
    ScratchDir dir{"tlx-verify"};
    std::string data = dir / "tornelix.dat";
    std::string backup = data + ".bak";
    Messages messages;
    TraceCapture trace;
};
} // namespace

TEST_F(DataFileVerification, AWholeFileIsUsedAsItIs)
{
    ASSERT_TRUE(SampleFile(3).WriteFile(data));
    EXPECT_EQ(CheckDataFile(data), DataFileCheck::whole);
    std::vector<unsigned char> block;
    ASSERT_TRUE(ExtractParameters(data, "CController", block));
    EXPECT_EQ(block, Bytes(5000, 3));
    EXPECT_FALSE(ExtractParameters(data, "CControl", block));
    EXPECT_TRUE(block.empty());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(trace.Text(), "");
}

TEST_F(DataFileVerification, ALastByteChangedIsReplacedByTheWholeBackupSilently)
{
    std::vector<unsigned char> damaged = SampleFile(3).FileBytes();
    damaged.back() ^= 0x01;
    ASSERT_TRUE(WriteWholeFile(data, damaged.data(), damaged.size()));
    ASSERT_TRUE(SampleFile(9).WriteFile(backup));
    EXPECT_FALSE(IsDataFileWhole(data));

    std::vector<unsigned char> block;
    ASSERT_TRUE(ExtractParameters(data, "CController", block));
    EXPECT_EQ(block, Bytes(5000, 9)); // the backup's block
    EXPECT_EQ(Contents(data), Contents(backup));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(trace.Text(), "");
}

TEST_F(DataFileVerification, AMissingFileIsRestoredFromItsBackup)
{
    ASSERT_TRUE(SampleFile(4).WriteFile(backup));
    EXPECT_EQ(CheckDataFile(data), DataFileCheck::restored);
    EXPECT_EQ(Contents(data), Contents(backup));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DataFileVerification, HeaderRules)
{
    // 8 bytes with a stored CRC of zero: the CRC of nothing is 0, so it is whole
    // and holds no block; no log line.
    const unsigned char empty[8] = {'F', 'F', 'L', 'C', 0, 0, 0, 0};
    ASSERT_TRUE(WriteWholeFile(data, empty, sizeof empty));
    EXPECT_TRUE(IsDataFileWhole(data));
    std::vector<unsigned char> block;
    EXPECT_FALSE(ExtractParameters(data, "CController", block));
    EXPECT_EQ(trace.Text(), "");

    // FFLD with a correct CRC is not whole.
    std::vector<unsigned char> bytes = SampleFile(5).FileBytes();
    bytes[3] = 'D';
    ASSERT_TRUE(WriteWholeFile(data, bytes.data(), bytes.size()));
    EXPECT_FALSE(IsDataFileWhole(data));

    // Shorter than a header.
    ASSERT_TRUE(WriteWholeFile(data, "FFLC", 4));
    EXPECT_FALSE(IsDataFileWhole(data));

    // A CRC spread over several 4096-byte pieces.
    DataFileWriter big;
    big.AddRecord("CController", Bytes(20000, 7), DataFileWriter::stored, 9000);
    ASSERT_TRUE(big.WriteFile(data));
    EXPECT_TRUE(IsDataFileWhole(data));
    bytes = big.FileBytes();
    bytes[4096 + 8] ^= 0x80;
    ASSERT_TRUE(WriteWholeFile(data, bytes.data(), bytes.size()));
    EXPECT_FALSE(IsDataFileWhole(data));
}

TEST_F(DataFileVerification, BothDamagedFailsWithoutMessageOrLogLine)
{
    std::vector<unsigned char> bytes = SampleFile(3).FileBytes();
    bytes[20] ^= 1;
    ASSERT_TRUE(WriteWholeFile(data, bytes.data(), bytes.size()));
    ASSERT_TRUE(WriteWholeFile(backup, bytes.data(), bytes.size()));
    std::vector<unsigned char> block = {1};
    EXPECT_FALSE(ExtractParameters(data, "CController", block));
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(Contents(data), bytes); // nothing replaced
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(trace.Text(), "");
}

TEST_F(DataFileVerification, ABrokenBlockStreamWritesTheTraceLine)
{
    DataFileWriter w;
    w.AddRawRecord("CConfig", 100, Bytes(40, 1), DataFileWriter::stored);
    ASSERT_TRUE(w.WriteFile(data)); // whole by its CRC, damaged inside
    std::vector<unsigned char> block;
    EXPECT_FALSE(ExtractParameters(data, "CController", block));
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(trace.Text().rfind("|S|ExtractParameters failed, object is 'CController'\n", 0), 0u) << trace.Text();
}

TEST_F(DataFileVerification, ACopyThatFailsShowsThePathAndTheErrorCode)
{
    // The data file's place is taken by a directory: the copy cannot succeed.
    MakeDir(data);
    ASSERT_TRUE(SampleFile(3).WriteFile(backup));
    std::string problem;
    EXPECT_EQ(CheckDataFile(data, &problem), DataFileCheck::failed);
    EXPECT_TRUE(messages.shown.empty()) << "the caller tells the user";
#ifdef _WIN32
    const long code = ERROR_ACCESS_DENIED;
#else
    const long code = EISDIR;
#endif
    EXPECT_EQ(problem, "Access parameters configuration file failed! File Name'" + data + "', Error Code(" +
                           std::to_string(code) + ").");

    language = kLanguageChinese;
    problem.clear();
    // With the message the values are read from the whole backup.
    std::vector<unsigned char> block;
    EXPECT_TRUE(ExtractParameters(data, "CController", block, &problem));
    EXPECT_EQ(block, Bytes(5000, 3));
    EXPECT_EQ(problem, "访问参数配置文件失败！文件名'" + data + "'，错误代码(" + std::to_string(code) + ")。");
}

TEST_F(DataFileVerification, AReadOnlyDataFileCannotBeReplaced)
{
    std::vector<unsigned char> bytes = SampleFile(3).FileBytes();
    bytes.back() ^= 1;
    ASSERT_TRUE(WriteWholeFile(data, bytes.data(), bytes.size()));
    ASSERT_TRUE(SampleFile(3).WriteFile(backup));
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA(data.c_str(), FILE_ATTRIBUTE_READONLY));
    const long code = ERROR_ACCESS_DENIED;
#else
    chmod(data.c_str(), 0444);
    const long code = EACCES;
#endif
    std::string problem;
    EXPECT_FALSE(VerifyDataFile(data, &problem));
    EXPECT_EQ(problem, "Access parameters configuration file failed! File Name'" + data + "', Error Code(" +
                           std::to_string(code) + ").");
    EXPECT_EQ(Contents(data), bytes);

    // The values are not lost with the file that cannot be repaired: they
    // come from the backup, and the read-only file stays as it was.
    problem.clear();
    std::vector<unsigned char> block;
    EXPECT_TRUE(ExtractParameters(data, "CController", block, &problem));
    EXPECT_EQ(block, Bytes(5000, 3));
    EXPECT_FALSE(problem.empty());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(Contents(data), bytes);

    // A backup without the block: nothing to carry.
    DataFileWriter other;
    other.AddRecord("CConfig", Bytes(12, 1), DataFileWriter::stored);
    ASSERT_TRUE(other.WriteFile(backup));
    EXPECT_FALSE(ExtractParameters(data, "CController", block));
    EXPECT_TRUE(block.empty());
#ifdef _WIN32
    SetFileAttributesA(data.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

TEST(DataFileMessage, InsertsAreTakenLiterally)
{
    language = kLanguageEnglish;
    EXPECT_EQ(AccessDataFileMessage("C:\\a%1b\\x.dat", 32),
              "Access parameters configuration file failed! File Name'C:\\a%1b\\x.dat', Error Code(32).");
    language = kLanguageChinese;
}
