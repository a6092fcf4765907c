#include "setupfile/SetupDigest.h"

#include <algorithm>
#include <vector>

#include "platform/File.h"
#include "setupfile/SetupImage.h"

namespace {
// The trailer of a setup file read without checking it, and where it lies.
bool ReadTrailer(FileSetupSource& source, PackageTrailer* trailer, uint64_t* trailerAt)
{
    const uint64_t length = source.Length();
    if (length < kTrailerSize)
        return false;
    std::vector<unsigned char> head(static_cast<size_t>(std::min<uint64_t>(length, 4096)));
    source.ReadAt(0, head.data(), head.size());
    // A signed file's trailer lies right before its certificate table.
    const SignatureTable table = FindSignatureTable(head.data(), head.size());
    const uint64_t end = table.present && table.offset >= kTrailerSize && table.offset <= length ? table.offset : length;
    unsigned char encoded[kTrailerSize];
    *trailerAt = end - kTrailerSize;
    source.ReadAt(*trailerAt, encoded, kTrailerSize);
    *trailer = DecodeTrailer(encoded);
    return true;
}
} // namespace

namespace {
// What read gives from the setup file's trailer (and the source it lies
// in); empty when the file cannot be read or has no trailer.
template <typename Read>
std::string FromTrailer(const std::string& setupPath, Read read)
{
    try {
        BinaryFile file;
        file.OpenOrThrow(setupPath, BinaryFile::modeRead | BinaryFile::shareDenyNone);
        FileSetupSource source(file);
        PackageTrailer trailer;
        uint64_t trailerAt = 0;
        if (!ReadTrailer(source, &trailer, &trailerAt))
            return std::string();
        return read(source, trailer, trailerAt);
    } catch (const FileError&) {
        return std::string();
    }
}
} // namespace

std::string RecordedReleaseName(const std::string& setupPath)
{
    return FromTrailer(setupPath, [](FileSetupSource& source, const PackageTrailer& trailer, uint64_t trailerAt) {
        std::string name;
        return ReadReleaseNameBlock(source, trailerAt, trailer.reserved, &name) ? name : std::string();
    });
}

std::string RecordedSetupDigest(const std::string& setupPath)
{
    return FromTrailer(setupPath, [](FileSetupSource&, const PackageTrailer& trailer, uint64_t) {
        return DigestHex(trailer.digest);
    });
}
