// fuzz-libs: tlx_setupfile tlx_platform crypto
// The setup file check on arbitrary bytes, as given and re-signed (so that
// the trailer's offset field is reached): never a crash; checked through a
// small buffer in many pieces it gives the same verdict as in one piece and
// hands out exactly the package; an accepted file names a package that lies
// wholly between the image and the release-name block or trailer (and the
// trailer ends the file unless a certificate table follows it).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Md5.h"
#include "setupfile/SetupImage.h"

namespace {
struct Bytes : SetupSource {
    explicit Bytes(const std::vector<unsigned char>& b) : bytes(b) {}
    uint64_t Length() override { return bytes.size(); }
    void ReadAt(uint64_t offset, void* buffer, size_t size) override
    {
        if (offset > bytes.size() || size > bytes.size() - offset)
            abort(); // the check read outside the file
        memcpy(buffer, bytes.data() + offset, size);
    }
    const std::vector<unsigned char>& bytes;
};

struct Collect : PackageSink {
    std::vector<unsigned char> bytes;
    void Take(const unsigned char* data, size_t size) override { bytes.insert(bytes.end(), data, data + size); }
};

ImageCheck CheckBoth(const std::vector<unsigned char>& bytes, SetupLayout* layout)
{
    uint32_t offset = 0, length = 0;
    ImageCheck whole = CheckSetupImage(bytes.data(), bytes.size(), &offset, &length);
    Bytes source(bytes);
    Collect sink;
    std::vector<unsigned char> buffer(4096);
    ImageCheck pieces = bytes.size() < kTrailerSize ? ImageCheck::tooShort
                                                     : CheckSetupSource(source, buffer.data(), buffer.size(), layout, &sink);
    if (pieces != whole)
        abort();
    if (whole == ImageCheck::ok) {
        if (layout->packageOffset != offset || layout->packageSize != length)
            abort();
        if (static_cast<uint64_t>(offset) + length + kTrailerSize > bytes.size())
            abort();
        const uint32_t nameBlock = layout->releaseName.empty() ? 0 : DecodeTrailer(bytes.data() + bytes.size() - kTrailerSize).reserved;
        if (!layout->isSigned && static_cast<uint64_t>(offset) + length + nameBlock + kTrailerSize != bytes.size())
            abort();
        if (sink.bytes.size() != length || (length && memcmp(sink.bytes.data(), bytes.data() + offset, length) != 0))
            abort();
    }
    return whole;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<unsigned char> bytes(data, data + size);
    SetupLayout layout;
    CheckBoth(bytes, &layout);
    if (size < kTrailerSize || FindSignatureTable(bytes.data(), size).present)
        return 0;
    // Unsigned: re-sign the trailer so that the offset field is reached.
    Md5Digest(bytes.data(), size - kTrailerSize, bytes.data() + size - 16);
    ImageCheck resigned = CheckBoth(bytes, &layout);
    const PackageTrailer trailer = DecodeTrailer(bytes.data() + size - kTrailerSize);
    Bytes source(bytes);
    std::string name;
    if (!ReadReleaseNameBlock(source, size - kTrailerSize, trailer.reserved, &name)) {
        if (resigned != ImageCheck::nameBlockDamaged)
            abort();
        return 0;
    }
    const uint32_t claimed = trailer.packageOffset;
    if (claimed <= size - kTrailerSize - (name.empty() ? 0 : trailer.reserved)) {
        if (resigned != ImageCheck::ok || layout.packageOffset != claimed)
            abort();
    } else if (resigned != ImageCheck::offsetBeyondTrailer) {
        abort();
    }
    return 0;
}
