#include "support/DataFileWriter.h"

#include <cstring>
#include <stdexcept>

#include <lzo/lzo1x.h>
#include <zlib.h>

#include "platform/File.h"

void PutLe(std::vector<unsigned char>& bytes, size_t offset, uint64_t value, size_t width)
{
    if (bytes.size() < offset + width)
        bytes.resize(offset + width);
    for (size_t i = 0; i < width; ++i)
        bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

std::vector<unsigned char> DataFileWriter::Compress(const unsigned char* data, size_t size)
{
    static const bool ready = lzo_init() == LZO_E_OK;
    if (!ready)
        throw std::runtime_error("lzo_init failed");
    std::vector<unsigned char> work(LZO1X_1_MEM_COMPRESS);
    std::vector<unsigned char> out(size + size / 16 + 64 + 3);
    lzo_uint outLen = 0;
    if (lzo1x_1_compress(data, size, out.data(), &outLen, work.data()) != LZO_E_OK)
        throw std::runtime_error("lzo1x_1_compress failed");
    out.resize(outLen);
    return out;
}

std::vector<unsigned char> DataFileWriter::RecordHeader(const std::string& name, int32_t size)
{
    std::vector<unsigned char> header(64, 0);
    memcpy(header.data(), "KNLC", 4);
    PutLe(header, 12, static_cast<uint32_t>(size), 4);
    memcpy(header.data() + 20, name.data(), name.size() < 43 ? name.size() : 43);
    return header;
}

void DataFileWriter::AddChunk(const unsigned char* data, size_t size, ChunkMode mode)
{
    std::vector<unsigned char> body;
    unsigned word;
    if (mode == stored) {
        if (size > 0x7FFF)
            throw std::runtime_error("stored chunk too large");
        body.assign(data, data + size);
        word = 0x8000u | static_cast<unsigned>(size);
    } else {
        body = Compress(data, size);
        if (body.size() > 17475)
            throw std::runtime_error("compressed chunk too large");
        word = static_cast<unsigned>(body.size());
    }
    m_stream.push_back(static_cast<unsigned char>(word));
    m_stream.push_back(static_cast<unsigned char>(word >> 8));
    m_stream.insert(m_stream.end(), body.begin(), body.end());
}

void DataFileWriter::AddRawRecord(const std::string& name, int32_t statedSize, const std::vector<unsigned char>& payload,
                                  ChunkMode mode, size_t pieceSize)
{
    std::vector<unsigned char> header = RecordHeader(name, statedSize);
    AddChunk(header.data(), header.size(), stored);
    for (size_t pos = 0; pos < payload.size(); pos += pieceSize) {
        size_t n = payload.size() - pos < pieceSize ? payload.size() - pos : pieceSize;
        AddChunk(payload.data() + pos, n, mode);
    }
}

void DataFileWriter::AddRecord(const std::string& name, const std::vector<unsigned char>& payload, ChunkMode mode,
                               size_t pieceSize, bool alternate)
{
    std::vector<unsigned char> header = RecordHeader(name, static_cast<int32_t>(payload.size()));
    AddChunk(header.data(), header.size(), stored);
    ChunkMode m = mode;
    for (size_t pos = 0; pos < payload.size(); pos += pieceSize) {
        size_t n = payload.size() - pos < pieceSize ? payload.size() - pos : pieceSize;
        AddChunk(payload.data() + pos, n, m);
        if (alternate)
            m = m == stored ? compressed : stored;
    }
}

void DataFileWriter::AddBytes(const std::vector<unsigned char>& bytes)
{
    m_stream.insert(m_stream.end(), bytes.begin(), bytes.end());
}

std::vector<unsigned char> DataFileWriter::FileBytes() const
{
    std::vector<unsigned char> file(8);
    memcpy(file.data(), "FFLC", 4);
    uLong crc = crc32(0L, Z_NULL, 0);
    if (!m_stream.empty())
        crc = crc32(crc, m_stream.data(), static_cast<uInt>(m_stream.size()));
    PutLe(file, 4, crc, 4);
    file.insert(file.end(), m_stream.begin(), m_stream.end());
    return file;
}

bool DataFileWriter::WriteFile(const std::string& path) const
{
    std::vector<unsigned char> bytes = FileBytes();
    return WriteWholeFile(path, bytes.data(), bytes.size());
}
