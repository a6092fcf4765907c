// The data-file reader on arbitrary chunk streams: every record header, stored
// chunk and LZO chunk must be read or refused with a FileError, never read or
// written out of bounds.
// fuzz-libs: default
#include <cstdint>
#include <vector>

#include "format/DataBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Walk every record: read one payload, skip the next.
    try {
        CMemoryChunkSource source(data, size);
        CDataRecordReader reader(source);
        DataRecordInfo info;
        std::vector<unsigned char> payload;
        for (bool read = true; reader.NextRecord(info); read = !read) {
            if (read)
                reader.ReadPayload(payload);
            else
                reader.SkipPayload();
        }
    } catch (const FileError&) {
    }
    // And the search by name.
    try {
        CMemoryChunkSource source(data, size);
        std::vector<unsigned char> payload;
        ReadDataBlock(source, "CController", payload);
    } catch (const FileError&) {
    }
    return 0;
}
