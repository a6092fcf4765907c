// fuzz-libs: tlx_setupfile tlx_platform crypto
// The setup file check on arbitrary bytes, as given and re-signed (so that
// the trailer's offset field is reached): never a crash, and an accepted file
// names a package that lies wholly between the image and the trailer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Md5.h"
#include "setupfile/SetupImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint32_t offset = 0, length = 0;
    std::vector<unsigned char> bytes(data, data + size);
    ImageCheck asGiven = CheckSetupImage(bytes.data(), bytes.size(), &offset, &length);
    if (asGiven == ImageCheck::ok && static_cast<uint64_t>(offset) + length + kTrailerSize != size)
        abort();
    if (size < kTrailerSize)
        return 0;
    Md5Digest(bytes.data(), size - kTrailerSize, bytes.data() + size - 16);
    ImageCheck resigned = CheckSetupImage(bytes.data(), bytes.size(), &offset, &length);
    uint32_t claimed = DecodeTrailer(bytes.data() + size - kTrailerSize).packageOffset;
    if (claimed <= size - kTrailerSize) {
        if (resigned != ImageCheck::ok || offset != claimed || offset + length != size - kTrailerSize)
            abort();
    } else if (resigned != ImageCheck::offsetBeyondTrailer) {
        abort();
    }
    return 0;
}
