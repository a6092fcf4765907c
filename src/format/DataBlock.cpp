#include "format/DataBlock.h"

#include <cstring>
#include <new>

#include <lzo/lzo1x.h>
#include <zlib.h>

#include "platform/StringUtil.h"

using namespace datafile;

namespace {
uint32_t LoadLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

bool LzoReady()
{
    static const bool ready = lzo_init() == LZO_E_OK;
    return ready;
}

// LZO1X never yields more than 255 bytes per input byte (a zero byte in a
// length adds 255); a payload larger than that bound of what is left in the
// stream cannot be real, and must not be allocated.
const uint64_t kMaxExpansion = 256;
const size_t kMaxChunkData = kMaxCompressedChunk * kMaxExpansion;
} // namespace

CMemoryChunkSource::CMemoryChunkSource(const void* data, size_t size, std::string name)
    : m_data(static_cast<const unsigned char*>(data)), m_size(size), m_name(std::move(name))
{
}

size_t CMemoryChunkSource::Read(void* buffer, size_t count)
{
    size_t n = count < m_size - m_pos ? count : m_size - m_pos;
    if (n)
        memcpy(buffer, m_data + m_pos, n);
    m_pos += n;
    return n;
}

CFileChunkSource::CFileChunkSource(const std::string& path, uint64_t offset)
{
    m_file.OpenOrThrow(path, BinaryFile::modeRead | BinaryFile::shareDenyWrite);
    m_length = m_file.GetLength();
    m_pos = m_file.Seek(static_cast<int64_t>(offset), BinaryFile::begin);
}

size_t CFileChunkSource::Read(void* buffer, size_t count)
{
    size_t n = m_file.Read(buffer, count);
    m_pos += n;
    return n;
}

CDataRecordReader::CDataRecordReader(CChunkSource& source) : m_source(source), m_scratch(kMaxCompressedChunk) {}

void CDataRecordReader::Damaged(const char* why)
{
    throw FileError(FileError::invalidFile, 0, m_source.Name(),
                    StrPrintf("%s is damaged: %s", m_source.Name().c_str(), why));
}

long CDataRecordReader::ReadOneChunk(unsigned char* dest, size_t capacity, bool* wasStored)
{
    unsigned char word[2];
    size_t got = m_source.Read(word, 2);
    if (got == 0)
        return -1;
    if (got != 2)
        Damaged("a chunk word is cut short");
    unsigned w = word[0] | word[1] << 8;
    size_t n = w & 0x7FFF;
    *wasStored = (w & kStoredBit) != 0;
    if (*wasStored) {
        if (n > capacity)
            Damaged("a chunk runs past its record");
        if (m_source.Read(dest, n) != n)
            Damaged("a chunk is cut short");
        return static_cast<long>(n);
    }
    if (n > kMaxCompressedChunk)
        Damaged("a compressed chunk is too long");
    if (m_source.Read(m_scratch.data(), n) != n)
        Damaged("a chunk is cut short");
    if (!LzoReady())
        Damaged("the decompressor is not available");
    lzo_uint produced = capacity;
    int r = lzo1x_decompress_safe(m_scratch.data(), n, dest, &produced, nullptr);
    if (r == LZO_E_OUTPUT_OVERRUN)
        Damaged("a compressed chunk runs past its record");
    if (r != LZO_E_OK)
        Damaged("a compressed chunk is corrupt");
    return static_cast<long>(produced);
}

void CDataRecordReader::ReadChunks(unsigned char* dest, size_t size, int* stored, int* compressed)
{
    size_t total = 0;
    while (total < size) {
        bool wasStored = false;
        long n = ReadOneChunk(dest + total, size - total, &wasStored);
        if (n < 0)
            Damaged("a payload is shorter than its size");
        ++*(wasStored ? stored : compressed);
        total += static_cast<size_t>(n);
    }
}

bool CDataRecordReader::NextRecord(DataRecordInfo& info)
{
    if (m_payloadPending)
        SkipPayload();
    unsigned char header[kRecordHeaderSize];
    bool wasStored = false;
    long n = ReadOneChunk(header, sizeof header, &wasStored);
    if (n < 0)
        return false;
    if (static_cast<size_t>(n) != kRecordHeaderSize)
        Damaged("a record header is not 64 bytes");
    if (LoadLe32(header) != kRecordMagic)
        Damaged("a record header lacks its magic");
    int32_t size = static_cast<int32_t>(LoadLe32(header + kSizeOffset));
    if (size < 0)
        Damaged("a payload size is negative");
    if (static_cast<uint64_t>(size) > m_source.Remaining() * kMaxExpansion)
        Damaged("a payload size exceeds what the file can hold");
    const char* name = reinterpret_cast<const char*>(header + kNameOffset);
    m_current = DataRecordInfo();
    m_current.name.assign(name, strnlen(name, kRecordHeaderSize - kNameOffset));
    m_current.payloadSize = size;
    m_payloadPending = true;
    info = m_current;
    return true;
}

void CDataRecordReader::ReadPayload(std::vector<unsigned char>& out)
{
    m_payloadPending = false;
    try {
        out.assign(static_cast<size_t>(m_current.payloadSize), 0);
    } catch (const std::bad_alloc&) {
        Damaged("a payload is too large to read");
    }
    ReadChunks(out.data(), out.size(), &m_current.storedChunks, &m_current.compressedChunks);
}

void CDataRecordReader::SkipPayload()
{
    m_payloadPending = false;
    // Skipped payloads pass through a buffer that holds the largest chunk.
    size_t left = static_cast<size_t>(m_current.payloadSize);
    std::vector<unsigned char> piece(left < kMaxChunkData ? left : kMaxChunkData);
    while (left > 0) {
        bool wasStored = false;
        size_t want = left < piece.size() ? left : piece.size();
        long n = ReadOneChunk(piece.data(), want, &wasStored);
        if (n < 0)
            Damaged("a payload is shorter than its size");
        ++(wasStored ? m_current.storedChunks : m_current.compressedChunks);
        left -= static_cast<size_t>(n);
    }
}

bool IsWholeDataStream(CChunkSource& source)
{
    unsigned char header[kFileHeaderSize];
    if (source.Read(header, sizeof header) != sizeof header || LoadLe32(header) != kFileMagic)
        return false;
    uint32_t stored = LoadLe32(header + 4);
    uLong crc = crc32(0L, Z_NULL, 0);
    std::vector<unsigned char> piece(1u << 16);
    for (;;) {
        size_t got = source.Read(piece.data(), piece.size());
        if (got == 0)
            break;
        crc = crc32(crc, piece.data(), static_cast<uInt>(got));
    }
    return static_cast<uint32_t>(crc) == stored;
}

bool IsWholeDataFile(const std::string& path)
{
    try {
        CFileChunkSource source(path, 0);
        return IsWholeDataStream(source);
    } catch (const FileError&) {
        return false;
    }
}

bool ReadDataBlock(CChunkSource& source, const std::string& name, std::vector<unsigned char>& payload)
{
    payload.clear();
    CDataRecordReader reader(source);
    DataRecordInfo info;
    while (reader.NextRecord(info)) {
        if (info.name == name) {
            std::vector<unsigned char> found;
            reader.ReadPayload(found);
            payload.swap(found);
            return true;
        }
        reader.SkipPayload();
    }
    return false;
}

bool ReadDataBlock(const std::string& path, const std::string& name, std::vector<unsigned char>& payload)
{
    payload.clear();
    CFileChunkSource source(path, kFileHeaderSize);
    return ReadDataBlock(source, name, payload);
}
