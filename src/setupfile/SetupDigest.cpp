#include "setupfile/SetupDigest.h"

#include <algorithm>
#include <vector>

#include "platform/File.h"
#include "setupfile/SetupImage.h"

std::string RecordedSetupDigest(const std::string& setupPath)
{
    try {
        BinaryFile file;
        file.OpenOrThrow(setupPath, BinaryFile::modeRead | BinaryFile::shareDenyNone);
        FileSetupSource source(file);
        const uint64_t length = source.Length();
        if (length < kTrailerSize)
            return std::string();
        std::vector<unsigned char> head(static_cast<size_t>(std::min<uint64_t>(length, 4096)));
        source.ReadAt(0, head.data(), head.size());
        // A signed file's trailer lies right before its certificate table.
        const SignatureTable table = FindSignatureTable(head.data(), head.size());
        const uint64_t end = table.present && table.offset >= kTrailerSize && table.offset <= length ? table.offset : length;
        unsigned char encoded[kTrailerSize];
        source.ReadAt(end - kTrailerSize, encoded, kTrailerSize);
        const PackageTrailer trailer = DecodeTrailer(encoded);
        static const char kHex[] = "0123456789abcdef";
        std::string hex;
        for (unsigned char byte : trailer.digest) {
            hex += kHex[byte >> 4];
            hex += kHex[byte & 15];
        }
        return hex;
    } catch (const FileError&) {
        return std::string();
    }
}
