#include "setupfile/SetupImage.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/Md5.h"
#include "platform/File.h"

namespace {
uint32_t GetLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}
} // namespace

void EncodeTrailer(const PackageTrailer& trailer, unsigned char out[kTrailerSize])
{
    PutLe32(out, trailer.packageOffset);
    PutLe32(out + 4, trailer.reserved);
    memcpy(out + 8, trailer.digest, 16);
}

PackageTrailer DecodeTrailer(const unsigned char in[kTrailerSize])
{
    PackageTrailer t;
    t.packageOffset = GetLe32(in);
    t.reserved = GetLe32(in + 4);
    memcpy(t.digest, in + 8, 16);
    return t;
}

ImageCheck CheckSetupImage(const unsigned char* bytes, size_t size, uint32_t* packageOffset, uint32_t* packageSize)
{
    if (size < kTrailerSize)
        return ImageCheck::tooShort;
    const uint64_t length = size;
    if (length > 0xFFFFFFFFull)
        return ImageCheck::tooLarge;
    const size_t signedLength = size - kTrailerSize;
    PackageTrailer trailer = DecodeTrailer(bytes + signedLength);
    unsigned char digest[16];
    if (!Md5Digest(bytes, signedLength, digest))
        return ImageCheck::digestUnavailable;
    if (memcmp(digest, trailer.digest, 16) != 0)
        return ImageCheck::digestMismatch;
    // The trailer's own fields are not covered by the digest: a packaging
    // fault could still point past the trailer.
    if (trailer.packageOffset > signedLength)
        return ImageCheck::offsetBeyondTrailer;
    if (packageOffset)
        *packageOffset = trailer.packageOffset;
    if (packageSize)
        *packageSize = static_cast<uint32_t>(signedLength - trailer.packageOffset);
    return ImageCheck::ok;
}

const char* ImageCheckReason(ImageCheck check)
{
    switch (check) {
    case ImageCheck::ok: return "ok";
    case ImageCheck::tooShort: return "file is shorter than the 24-byte package trailer";
    case ImageCheck::tooLarge: return "file is larger than 4 GiB";
    case ImageCheck::digestMismatch: return "MD5 digest does not match the trailer (file damaged, cut short or altered)";
    case ImageCheck::offsetBeyondTrailer: return "package offset lies beyond the trailer";
    case ImageCheck::digestUnavailable: return "MD5 digest could not be computed";
    }
    return "unknown";
}

bool CheckSetupFile(const std::string& path, uint32_t* packageOffset, uint32_t* packageSize, std::string* reason)
{
    std::vector<unsigned char> bytes;
    try {
        BinaryFile file;
        file.OpenOrThrow(path, BinaryFile::modeRead | BinaryFile::shareDenyNone);
        uint64_t length = file.GetLength();
        if (length > 0xFFFFFFFFull || length > bytes.max_size()) {
            if (reason)
                *reason = ImageCheckReason(ImageCheck::tooLarge);
            return false;
        }
        bytes.resize(static_cast<size_t>(length));
        if (length > 0)
            file.ReadExact(bytes.data(), bytes.size());
        file.Close();
    } catch (const FileError& e) {
        if (reason)
            *reason = std::string("cannot read ") + e.what();
        return false;
    } catch (const std::bad_alloc&) {
        if (reason)
            *reason = "not enough memory to read " + path;
        return false;
    }
    ImageCheck check = CheckSetupImage(bytes.data(), bytes.size(), packageOffset, packageSize);
    if (check != ImageCheck::ok) {
        if (reason)
            *reason = ImageCheckReason(check);
        return false;
    }
    return true;
}

bool WriteSetupFile(const std::string& programPath, const std::string& packagePath, const std::string& outPath,
                    std::string* reason)
{
    auto fail = [reason](const std::string& why) {
        if (reason)
            *reason = why;
        return false;
    };
    std::vector<unsigned char> program, package;
    if (!ReadWholeFile(programPath, program))
        return fail("cannot read " + programPath);
    if (!ReadWholeFile(packagePath, package))
        return fail("cannot read " + packagePath);
    uint64_t total = static_cast<uint64_t>(program.size()) + package.size() + kTrailerSize;
    if (total > 0xFFFFFFFFull)
        return fail("setup file would be larger than 4 GiB");

    PackageTrailer trailer;
    trailer.packageOffset = static_cast<uint32_t>(program.size());
    trailer.reserved = 0;
    Md5 md5;
    md5.Update(program.data(), program.size());
    md5.Update(package.data(), package.size());
    if (!md5.Final(trailer.digest))
        return fail("MD5 digest could not be computed");
    unsigned char encoded[kTrailerSize];
    EncodeTrailer(trailer, encoded);

    try {
        BinaryFile out;
        out.OpenOrThrow(outPath, BinaryFile::modeCreate | BinaryFile::modeWrite);
        out.Write(program.data(), program.size());
        out.Write(package.data(), package.size());
        out.Write(encoded, sizeof encoded);
        out.Close();
    } catch (const FileError& e) {
        remove(outPath.c_str());
        return fail("cannot write " + outPath + ": " + e.what());
    }
    return true;
}
