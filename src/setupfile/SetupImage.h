// The layout of a setup file: the program image, the embedded package (a
// self-extracting archive), optionally the release's name, and a 24-byte
// trailer; a setup file signed
// afterwards carries the certificate table that its PE header's security
// directory names after the trailer. Portable: the setup checks its own file
// with it, the release tool writes and checks setup files.
//
// Files are read in pieces through one fixed buffer, never whole: setup files
// up to 4 GiB - 1 byte (what the trailer's 32-bit fields address) are checked
// in constant memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

const size_t kTrailerSize = 24;
// The buffer through which files are checked and written.
const size_t kSetupBufferSize = 4u << 20;
// mksetup pads the program image so that the file's length is a multiple of
// this (where a certificate table may start).
const size_t kSetupAlignment = 8;

// Little-endian on disk: package offset, the length of the release-name
// block (0: none; the field was reserved before names), MD5 of everything
// before the trailer.
struct PackageTrailer {
    uint32_t packageOffset = 0;
    uint32_t reserved = 0;
    unsigned char digest[16] = {0};
};

// The release-name block between the package and the trailer, so that the
// digest covers the name: the name's bytes, their count (32-bit LE) and
// kReleaseNameMagic. The trailer's reserved field holds the block's length;
// a file without a name has neither (and setup files made before names
// check and install as they did).
const size_t kReleaseNameMagicSize = 8;
extern const unsigned char kReleaseNameMagic[kReleaseNameMagicSize]; // "TLXRNAME"
const size_t kMaxReleaseNameLength = 64;
// Why a release name cannot be stored (it goes into INI files, the registry
// and engines' detection rules as it is), or nullptr: 1 to 64 characters of
// ASCII letters, digits, space (not first or last) and . - _ + ( ) , #
const char* ReleaseNameProblem(const std::string& name);

enum class ImageCheck {
    ok,
    tooShort,          // fewer bytes than a trailer
    tooLarge,          // length does not fit in 32 bits
    digestMismatch,    // damaged, truncated or altered
    offsetBeyondTrailer, // signed, but the package would have a negative length
    digestUnavailable, // the platform's MD5 could not be computed
    signatureMisplaced, // a certificate table that does not end the file
    unreadable,        // the file could not be opened or read (a FileError names it and the cause)
    notSetupFile,      // no package trailer at its end: a program without a package, or cut short
    nameBlockDamaged,  // the trailer's name-block length does not describe a release-name block
};

// Where a signed file's certificate table lies, from its PE header: the
// security directory (data directory 4). present is false for a file that
// is no PE image or is not signed. The offsets of the header's checksum and
// of the security directory entry are given for any PE image (0 otherwise):
// signing changes both, so the digest of a signed file reads them as zero.
struct SignatureTable {
    bool present = false;
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t checksumAt = 0;
    uint32_t directoryAt = 0;
};
// head: the file's first bytes (up to 4096 are looked at).
SignatureTable FindSignatureTable(const unsigned char* head, size_t size);

// Why the first bytes of a file are no program Windows starts on this
// setup's machines (an executable PE image for x86 or x64, not a DLL), or
// empty when they are one.
std::string ProgramImageProblem(const unsigned char* head, size_t size);

// Where an accepted setup file holds its package, and what it records.
struct SetupLayout {
    uint32_t packageOffset = 0;
    uint32_t packageSize = 0;
    bool isSigned = false;
    std::string releaseName;        // empty for a file without a name
    unsigned char digest[16] = {0}; // the trailer's MD5 (for a signed file: of the file as built)
};
// A digest as 32 lower-case hex digits.
std::string DigestHex(const unsigned char digest[16]);

// Positioned reads of a setup file. ReadAt reads exactly size bytes or
// throws (FileError for a file).
class SetupSource {
public:
    virtual ~SetupSource() = default;
    virtual uint64_t Length() = 0;
    virtual void ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

class BinaryFile;
class FileError;
// An open setup file as a SetupSource.
class FileSetupSource : public SetupSource {
public:
    explicit FileSetupSource(BinaryFile& file) : m_file(file) {}
    uint64_t Length() override;
    void ReadAt(uint64_t offset, void* buffer, size_t size) override;

private:
    BinaryFile& m_file;
    uint64_t m_position = 0;
};

// Receives the package's bytes in order while the check reads them, before
// the digest is known: whoever keeps them must drop them unless the check
// ends ok. Take may throw to stop the check; the exception passes through.
class PackageSink {
public:
    virtual ~PackageSink() = default;
    virtual void Take(const unsigned char* data, size_t size) = 0;
};

// Checks a setup file in one pass through buffer (bufferSize even, at least
// 4096 bytes). On ok, *layout names the package; sink, when given, has
// received exactly its bytes. Read errors of source pass through.
ImageCheck CheckSetupSource(SetupSource& source, unsigned char* buffer, size_t bufferSize, SetupLayout* layout,
                            PackageSink* sink = nullptr);

// Opens the setup file at path (others may read and write it meanwhile) and
// checks it in one pass through a buffer of kSetupBufferSize, giving the
// package to sink. unreadable with *error when it cannot be opened or read
// (or the buffer cannot be had). Nothing is shown.
ImageCheck CheckSetupFileAt(const std::string& path, PackageSink* sink, FileError* error);

// Checks a whole setup file held in memory. On ok, *packageOffset and
// *packageSize name the package between the image and the trailer.
ImageCheck CheckSetupImage(const unsigned char* bytes, size_t size, uint32_t* packageOffset,
                           uint32_t* packageSize);
// A one-line English reason for tools and logs.
const char* ImageCheckReason(ImageCheck check);
// The same in Chinese, for the setup log beside the box's "Bad Signature",
// which reads like a certificate problem whatever the cause.
const char* ImageCheckCause(ImageCheck check);

void EncodeTrailer(const PackageTrailer& trailer, unsigned char out[kTrailerSize]);
PackageTrailer DecodeTrailer(const unsigned char in[kTrailerSize]);

// Reads a setup file in pieces and checks it; false with *reason when it
// cannot be read or is not whole. No message is shown.
bool CheckSetupFile(const std::string& path, uint32_t* packageOffset, uint32_t* packageSize,
                    std::string* reason, bool* isSigned = nullptr);
// The same with the whole layout: the release's name and the recorded digest.
bool CheckSetupFile(const std::string& path, SetupLayout* layout, std::string* reason);

// The release-name block that ends before trailerAt, as the trailer's
// reserved field describes it: true with *name (empty for none) when the
// field and the block agree. Read errors of source pass through.
bool ReadReleaseNameBlock(SetupSource& source, uint64_t trailerAt, uint32_t reserved, std::string* name);

// Writes program (its PE checksum zeroed), zero padding up to a length that
// is a multiple of kSetupAlignment, then package, then the release-name
// block when releaseName is not empty, then the trailer (offset = where the
// package starts, the name block's length, MD5 of all before it). In pieces;
// an empty program, a signed one (sign the finished setup file instead) and
// a finished setup file are refused, and so is a name ReleaseNameProblem
// refuses. False with *reason on any failure, leaving no output file.
bool WriteSetupFile(const std::string& programPath, const std::string& packagePath,
                    const std::string& outPath, std::string* reason, const std::string& releaseName = std::string());
