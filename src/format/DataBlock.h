// The container of parameter data files: an 8-byte header ("FFLC" and the
// CRC-32 of the rest), then a stream of chunks that carries records. Each
// record is a 64-byte "KNLC" header chunk naming a block, then the block's
// payload in stored or LZO1X-compressed chunks. Anything that does not fit
// this layout is a damaged file and raises FileError; nothing is ever written
// beyond the buffer the data was requested for.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/File.h"

namespace datafile {
const uint32_t kFileMagic = 0x434C4646;   // "FFLC"
const uint32_t kRecordMagic = 0x434C4E4B; // "KNLC"
const size_t kFileHeaderSize = 8;
const size_t kRecordHeaderSize = 64;
const size_t kNameOffset = 20;
const size_t kSizeOffset = 12;
const size_t kMaxCompressedChunk = 17475; // worst-case LZO1X size of 16384 bytes
const unsigned kStoredBit = 0x8000;
} // namespace datafile

// Where the chunk stream comes from: a file or, for tests and fuzzing, memory.
class CChunkSource {
public:
    virtual ~CChunkSource() = default;
    // Reads up to count bytes; fewer only at the end of the data.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Bytes left to read.
    virtual uint64_t Remaining() = 0;
    // Names the source in file errors.
    virtual const std::string& Name() const = 0;
};

class CMemoryChunkSource : public CChunkSource {
public:
    CMemoryChunkSource(const void* data, size_t size, std::string name = "<memory>");
    size_t Read(void* buffer, size_t count) override;
    uint64_t Remaining() override { return m_size - m_pos; }
    const std::string& Name() const override { return m_name; }

private:
    const unsigned char* m_data;
    size_t m_size;
    size_t m_pos = 0;
    std::string m_name;
};

class CFileChunkSource : public CChunkSource {
public:
    // Opens path for reading, others denied writing, positioned at offset.
    // Throws FileError when the file cannot be opened.
    CFileChunkSource(const std::string& path, uint64_t offset);
    size_t Read(void* buffer, size_t count) override;
    uint64_t Remaining() override { return m_length > m_pos ? m_length - m_pos : 0; }
    const std::string& Name() const override { return m_file.Path(); }

private:
    BinaryFile m_file;
    uint64_t m_length = 0;
    uint64_t m_pos = 0;
};

struct DataRecordInfo {
    std::string name;          // block name from the record header
    int32_t payloadSize = 0;   // as stated in the header
    int storedChunks = 0;      // of the payload
    int compressedChunks = 0;  // of the payload
};

// Walks the records of a chunk stream one by one.
class CDataRecordReader {
public:
    explicit CDataRecordReader(CChunkSource& source);

    // Reads the next record header. False at the end of the stream; FileError
    // when the header chunk is damaged or lacks its magic.
    bool NextRecord(DataRecordInfo& info);
    // Reads the current record's payload into out (resized to its size).
    void ReadPayload(std::vector<unsigned char>& out);
    // Reads and drops the current record's payload (its chunks are checked
    // all the same: a damaged payload is a damaged file).
    void SkipPayload();

    // Totals of the current record's payload, after ReadPayload/SkipPayload.
    const DataRecordInfo& Current() const { return m_current; }

private:
    // Produces exactly size bytes at dest from whole chunks.
    void ReadChunks(unsigned char* dest, size_t size, int* stored, int* compressed);
    // Reads one chunk into dest of capacity bytes; returns the data size, or
    // -1 when no chunk word is left.
    long ReadOneChunk(unsigned char* dest, size_t capacity, bool* wasStored);
    [[noreturn]] void Damaged(const char* why);

    CChunkSource& m_source;
    std::vector<unsigned char> m_scratch;
    DataRecordInfo m_current;
    bool m_payloadPending = false;
};

// The file header at the start of source: true when it is the magic "FFLC"
// and a CRC-32 that equals the CRC-32 of every byte after the header. Reads
// source to its end.
bool IsWholeDataStream(CChunkSource& source);
// The same for the file at path (opened denying writes); false also when it
// cannot be opened or read.
bool IsWholeDataFile(const std::string& path);

// Searches the data file at path for the first record whose block name equals
// name entirely and reads its payload into payload. False when the stream
// ends without such a record; FileError when the file is unreadable or
// damaged. The 8-byte file header is not read here (IsWholeDataFile checks it).
bool ReadDataBlock(const std::string& path, const std::string& name, std::vector<unsigned char>& payload);
// The same over any chunk stream (positioned after the file header).
bool ReadDataBlock(CChunkSource& source, const std::string& name, std::vector<unsigned char>& payload);
