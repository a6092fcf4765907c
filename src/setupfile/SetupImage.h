// The layout of a setup file: the program image, the embedded package (a
// self-extracting archive) and a 24-byte trailer. Portable: the setup checks
// its own file with it, the release tool writes and checks setup files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

const size_t kTrailerSize = 24;

// Little-endian on disk: package offset, reserved, MD5 of everything before
// the trailer.
struct PackageTrailer {
    uint32_t packageOffset = 0;
    uint32_t reserved = 0;
    unsigned char digest[16] = {0};
};

enum class ImageCheck {
    ok,
    tooShort,          // fewer bytes than a trailer
    tooLarge,          // length does not fit in 32 bits
    digestMismatch,    // damaged, truncated or altered
    offsetBeyondTrailer, // signed, but the package would have a negative length
    digestUnavailable, // the platform's MD5 could not be computed
};

// Checks a whole setup file held in memory. On ok, *packageOffset and
// *packageSize name the package between the image and the trailer.
ImageCheck CheckSetupImage(const unsigned char* bytes, size_t size, uint32_t* packageOffset,
                           uint32_t* packageSize);
// A one-line English reason for tools and logs.
const char* ImageCheckReason(ImageCheck check);

void EncodeTrailer(const PackageTrailer& trailer, unsigned char out[kTrailerSize]);
PackageTrailer DecodeTrailer(const unsigned char in[kTrailerSize]);

// Reads a whole setup file and checks it; false with *reason when it cannot
// be read or is not whole. No message is shown.
bool CheckSetupFile(const std::string& path, uint32_t* packageOffset, uint32_t* packageSize,
                    std::string* reason);

// Writes program, then package, then the trailer (offset = program length,
// reserved 0, MD5 of both). False with *reason on any failure.
bool WriteSetupFile(const std::string& programPath, const std::string& packagePath,
                    const std::string& outPath, std::string* reason);
