// The chunk stream of parameter data files: finding a block by its whole name
// through stored and LZO chunks, and refusing every damaged layout with a
// file error instead of reading or writing out of bounds.
#include <gtest/gtest.h>

#include <cstring>

#include "format/DataBlock.h"
#include "support/DataFileWriter.h"
#include "support/ScratchDir.h"

namespace {
std::vector<unsigned char> Pattern(size_t n, unsigned seed)
{
    std::vector<unsigned char> v(n);
    unsigned x = seed;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        // Runs of repeats so LZO has something to compress.
        v[i] = static_cast<unsigned char>((i / 7) % 5 == 0 ? 0x20 : (x >> 16));
    }
    return v;
}

bool Find(const DataFileWriter& w, const std::string& name, std::vector<unsigned char>& out)
{
    CMemoryChunkSource source(w.Stream().data(), w.Stream().size());
    return ReadDataBlock(source, name, out);
}

// Expects a file error and the output left empty.
void ExpectDamaged(const DataFileWriter& w, const std::string& name = "CController")
{
    std::vector<unsigned char> out = {1, 2, 3};
    EXPECT_THROW(Find(w, name, out), FileError);
    EXPECT_TRUE(out.empty());
}

// Expects a file error that names why: the check that fired, not only that one did.
void ExpectDamagedBecause(const DataFileWriter& w, const std::string& why)
{
    std::vector<unsigned char> out = {1, 2, 3};
    try {
        Find(w, "CController", out);
        ADD_FAILURE() << "no file error; expected: " << why;
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
    }
    EXPECT_TRUE(out.empty());
}

void AddWord(DataFileWriter& w, unsigned word)
{
    w.AddBytes({static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8)});
}
} // namespace

TEST(ReadDataBlock, FindsABlockByItsWholeNameNeverByItsFirstFourLetters)
{
    DataFileWriter w;
    w.AddRecord("CConfig", Pattern(40, 1), DataFileWriter::stored);
    w.AddRecord("CController", Pattern(48, 2), DataFileWriter::compressed);
    std::vector<unsigned char> out;
    ASSERT_TRUE(Find(w, "CController", out));
    EXPECT_EQ(out, Pattern(48, 2));
    ASSERT_TRUE(Find(w, "CConfig", out));
    EXPECT_EQ(out, Pattern(40, 1));
    EXPECT_FALSE(Find(w, "CCon", out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(Find(w, "CControllerX", out));
    EXPECT_FALSE(Find(w, "", out));
}

TEST(ReadDataBlock, ReadsPayloadsSplitAcrossStoredAndCompressedChunks)
{
    std::vector<unsigned char> big = Pattern(50000, 3);
    DataFileWriter w;
    w.AddRecord("Empty", {}, DataFileWriter::stored); // zero-byte record before the wanted one
    w.AddRecord("Mixed", big, DataFileWriter::stored, 777, true);
    w.AddRecord("Lzo", big, DataFileWriter::compressed); // 16384-byte pieces
    w.AddRecord("Stored", big, DataFileWriter::stored, 32767);
    std::vector<unsigned char> out;
    for (const char* name : {"Mixed", "Lzo", "Stored"}) {
        ASSERT_TRUE(Find(w, name, out)) << name;
        EXPECT_EQ(out, big) << name;
    }
    ASSERT_TRUE(Find(w, "Empty", out));
    EXPECT_TRUE(out.empty());

    CMemoryChunkSource source(w.Stream().data(), w.Stream().size());
    CDataRecordReader reader(source);
    DataRecordInfo info;
    std::vector<std::string> names;
    std::vector<int> stored, compressed;
    while (reader.NextRecord(info)) {
        reader.SkipPayload();
        names.push_back(info.name);
        stored.push_back(reader.Current().storedChunks);
        compressed.push_back(reader.Current().compressedChunks);
        EXPECT_EQ(info.payloadSize, info.name == "Empty" ? 0 : 50000);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Empty", "Mixed", "Lzo", "Stored"}));
    EXPECT_EQ(stored, (std::vector<int>{0, 33, 0, 2}));     // 65 pieces of 777, alternating
    EXPECT_EQ(compressed, (std::vector<int>{0, 32, 4, 0})); // 50000 / 16384 rounded up
}

TEST(ReadDataBlock, ReadsFromAFileAfterItsHeader)
{
    ScratchDir dir("tlx-datablock");
    DataFileWriter w;
    w.AddRecord("CConfig", Pattern(10, 4), DataFileWriter::compressed);
    w.AddRecord("CController", Pattern(300, 5), DataFileWriter::stored, 100, true);
    std::string path = dir / "tornelix.dat";
    ASSERT_TRUE(w.WriteFile(path));
    std::vector<unsigned char> out;
    ASSERT_TRUE(ReadDataBlock(path, "CController", out));
    EXPECT_EQ(out, Pattern(300, 5));
    EXPECT_FALSE(ReadDataBlock(path, "Nothing", out));
    try {
        ReadDataBlock(dir / "missing.dat", "CController", out);
        FAIL() << "a missing file must raise";
    } catch (const FileError& e) {
        EXPECT_EQ(e.m_cause, FileError::fileNotFound);
    }
}

TEST(ReadDataBlock, ChunksThatRunPastTheirRecordAreDamage)
{
    { // a stored chunk longer than the rest of the payload
        DataFileWriter w;
        w.AddRawRecord("CController", 8, Pattern(10, 6), DataFileWriter::stored);
        ExpectDamaged(w);
    }
    { // a compressed chunk that decompresses beyond the payload
        DataFileWriter w;
        w.AddRawRecord("CController", 100, Pattern(200, 7), DataFileWriter::compressed);
        ExpectDamaged(w);
    }
    { // the same inside a skipped record: the search still fails
        DataFileWriter w;
        w.AddRawRecord("Other", 100, Pattern(200, 7), DataFileWriter::compressed);
        w.AddRecord("CController", Pattern(8, 8), DataFileWriter::stored);
        ExpectDamaged(w);
    }
    { // a header chunk of 65 bytes
        DataFileWriter w;
        std::vector<unsigned char> h = DataFileWriter::RecordHeader("CController", 0);
        h.push_back(0);
        w.AddChunk(h.data(), h.size(), DataFileWriter::stored);
        ExpectDamaged(w);
    }
    { // a header chunk of 63 bytes
        DataFileWriter w;
        std::vector<unsigned char> h = DataFileWriter::RecordHeader("CController", 0);
        w.AddChunk(h.data(), 63, DataFileWriter::stored);
        ExpectDamaged(w);
    }
}

TEST(ReadDataBlock, BadSizesAndBadChunksAreDamage)
{
    { // negative payload size
        DataFileWriter w;
        w.AddRawRecord("CController", -1, {}, DataFileWriter::stored);
        ExpectDamaged(w);
    }
    { // a size that no file of this length can hold is not allocated (2 GB)
        DataFileWriter w;
        w.AddRawRecord("CController", 0x7FFFFFFF, Pattern(100, 9), DataFileWriter::stored);
        ExpectDamagedBecause(w, "a payload size exceeds what the file can hold");
    }
    { // a compressed chunk word of 17476 bytes: one past the LZO bound
        DataFileWriter w;
        w.AddRawRecord("CController", 20000, {}, DataFileWriter::stored);
        AddWord(w, 17476);
        w.AddBytes(std::vector<unsigned char>(17476, 0x11));
        ExpectDamagedBecause(w, "a compressed chunk is too long");
    }
    { // 17475 bytes is the bound itself: read, and refused for what it holds
        DataFileWriter w;
        w.AddRawRecord("CController", 20000, {}, DataFileWriter::stored);
        AddWord(w, 17475);
        w.AddBytes(std::vector<unsigned char>(17475, 0x11));
        ExpectDamagedBecause(w, "a compressed chunk is corrupt");
    }
    { // corrupt LZO data
        DataFileWriter w;
        w.AddRawRecord("CController", 64, {}, DataFileWriter::stored);
        AddWord(w, 6);
        w.AddBytes({0x00, 0xFF, 0xFF, 0x00, 0x12, 0x34});
        ExpectDamaged(w);
    }
    { // a compressed chunk of zero bytes
        DataFileWriter w;
        w.AddRawRecord("CController", 4, {}, DataFileWriter::stored);
        AddWord(w, 0);
        ExpectDamaged(w);
    }
    { // a record header without its magic
        DataFileWriter w;
        std::vector<unsigned char> h = DataFileWriter::RecordHeader("CController", 0);
        h[0] = 'X';
        w.AddChunk(h.data(), h.size(), DataFileWriter::compressed);
        ExpectDamaged(w);
    }
    { // the payload ends early, the chunk word is cut, a chunk is cut
        DataFileWriter a, b, c;
        a.AddRawRecord("CController", 100, Pattern(60, 10), DataFileWriter::stored);
        ExpectDamaged(a);
        b.AddRecord("Other", Pattern(4, 1), DataFileWriter::stored);
        b.AddBytes({0x40});
        ExpectDamaged(b);
        c.AddRawRecord("CController", 100, {}, DataFileWriter::stored);
        AddWord(c, 0x8000 | 100);
        c.AddBytes(Pattern(50, 2));
        ExpectDamaged(c);
    }
}

TEST(ReadDataBlock, AnEmptyStreamHoldsNoBlock)
{
    DataFileWriter w;
    std::vector<unsigned char> out;
    EXPECT_FALSE(Find(w, "CController", out));
}
