// Writes parameter data files for tests, benchmarks and fuzz corpora: records
// whose payloads are cut into stored and LZO1X-compressed chunks as the test
// asks, so that readers meet every chunk layout the control program may write.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class DataFileWriter {
public:
    enum ChunkMode { stored, compressed };

    // Appends a record: a 64-byte stored header chunk naming the block, then
    // the payload in chunks of at most pieceSize bytes, each stored or
    // compressed as mode says (alternate: stored, compressed, stored, ...).
    void AddRecord(const std::string& name, const std::vector<unsigned char>& payload, ChunkMode mode,
                   size_t pieceSize = 16384, bool alternate = false);
    // Appends a record whose header states statedSize but whose chunks carry payload.
    void AddRawRecord(const std::string& name, int32_t statedSize, const std::vector<unsigned char>& payload,
                      ChunkMode mode, size_t pieceSize = 16384);
    // Appends raw bytes to the chunk stream (damaged files).
    void AddBytes(const std::vector<unsigned char>& bytes);
    void AddChunk(const unsigned char* data, size_t size, ChunkMode mode);

    // The chunk stream without the file header.
    const std::vector<unsigned char>& Stream() const { return m_stream; }
    // "FFLC", the CRC-32 of the stream, the stream.
    std::vector<unsigned char> FileBytes() const;
    bool WriteFile(const std::string& path) const;

    static std::vector<unsigned char> RecordHeader(const std::string& name, int32_t size);
    static std::vector<unsigned char> Compress(const unsigned char* data, size_t size);

private:
    std::vector<unsigned char> m_stream;
};

// Little-endian stores for building block images.
void PutLe(std::vector<unsigned char>& bytes, size_t offset, uint64_t value, size_t width);
