#include "setupfile/SetupImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/File.h"
#include "platform/Md5.h"

namespace {
const uint64_t kMaxSetupLength = 0xFFFFFFFFull;
const size_t kHeadSize = 4096;

uint32_t GetLe32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint16_t GetLe16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

void PutLe32(unsigned char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Zeroes the part of [at, at + n) that falls into the chunk [pos, pos + size).
void ZeroWithin(unsigned char* chunk, uint64_t pos, size_t size, uint64_t at, size_t n)
{
    uint64_t from = std::max(pos, at), to = std::min(pos + size, at + n);
    if (from < to)
        memset(chunk + (from - pos), 0, static_cast<size_t>(to - from));
}

// The PE image checksum: a 16-bit one's complement sum of the file's
// little-endian words (the checksum field read as zero) plus the length.
class PeChecksum {
public:
    // Chunks arrive in order, each of even length except perhaps the last.
    void Add(const unsigned char* p, size_t n)
    {
        size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            uint32_t v = GetLe32(p + i);
            m_sum += (v & 0xFFFF) + (v >> 16);
        }
        for (; i + 2 <= n; i += 2)
            m_sum += GetLe16(p + i);
        if (i < n)
            m_sum += p[i];
    }
    uint32_t Final(uint64_t length) const
    {
        uint64_t s = m_sum;
        while (s >> 16)
            s = (s & 0xFFFF) + (s >> 16);
        return static_cast<uint32_t>(s + length);
    }

private:
    uint64_t m_sum = 0;
};

// Where the sections of a PE image end in the file (the program as the
// linker wrote it); 0 when head is no PE image or does not hold its section
// table.
uint64_t PeSectionsEnd(const unsigned char* head, size_t size)
{
    size = std::min(size, kHeadSize);
    if (size < 0x40 || head[0] != 'M' || head[1] != 'Z')
        return 0;
    const uint32_t pe = GetLe32(head + 0x3C);
    if (pe > size || size - pe < 24 || memcmp(head + pe, "PE\0\0", 4) != 0)
        return 0;
    const uint16_t sections = GetLe16(head + pe + 6);
    const uint64_t table = uint64_t(pe) + 24 + GetLe16(head + pe + 20);
    if (table + uint64_t(sections) * 40 > size)
        return 0;
    uint64_t end = 0;
    for (uint16_t i = 0; i < sections; ++i) {
        const unsigned char* section = head + table + uint64_t(i) * 40;
        const uint32_t rawSize = GetLe32(section + 16), rawAt = GetLe32(section + 20);
        if (rawSize != 0)
            end = std::max(end, uint64_t(rawAt) + rawSize);
    }
    return end;
}

bool IsReleaseNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || strchr(" .-_+(),#", c);
}

class MemorySource : public SetupSource {
public:
    MemorySource(const unsigned char* bytes, size_t size) : m_bytes(bytes), m_size(size) {}
    uint64_t Length() override { return m_size; }
    void ReadAt(uint64_t offset, void* buffer, size_t size) override
    {
        if (size > 0)
            memcpy(buffer, m_bytes + offset, size);
    }

private:
    const unsigned char* m_bytes;
    size_t m_size;
};

} // namespace

const unsigned char kReleaseNameMagic[kReleaseNameMagicSize] = {'T', 'L', 'X', 'R', 'N', 'A', 'M', 'E'};

const char* ReleaseNameProblem(const std::string& name)
{
    if (name.empty() || name.size() > kMaxReleaseNameLength)
        return "a release name has 1 to 64 characters";
    for (char c : name)
        if (c == '\0' || !IsReleaseNameChar(c))
            return "a release name has only ASCII letters, digits, space and . - _ + ( ) , #";
    if (name.front() == ' ' || name.back() == ' ')
        return "a release name neither starts nor ends with a space";
    return nullptr;
}

std::string DigestHex(const unsigned char digest[16])
{
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (int i = 0; i < 16; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}

bool ReadReleaseNameBlock(SetupSource& source, uint64_t trailerAt, uint32_t reserved, std::string* name)
{
    const size_t fixed = 4 + kReleaseNameMagicSize;
    name->clear();
    if (reserved == 0) {
        // A block whose length field was lost would otherwise pass as the
        // package's last bytes.
        if (trailerAt < kReleaseNameMagicSize)
            return true;
        unsigned char tail[kReleaseNameMagicSize];
        source.ReadAt(trailerAt - kReleaseNameMagicSize, tail, sizeof tail);
        return memcmp(tail, kReleaseNameMagic, sizeof tail) != 0;
    }
    if (reserved < fixed + 1 || reserved > fixed + kMaxReleaseNameLength || reserved > trailerAt)
        return false;
    unsigned char block[fixed + kMaxReleaseNameLength];
    source.ReadAt(trailerAt - reserved, block, reserved);
    const size_t length = reserved - fixed;
    if (memcmp(block + reserved - kReleaseNameMagicSize, kReleaseNameMagic, kReleaseNameMagicSize) != 0 ||
        GetLe32(block + length) != length)
        return false;
    std::string text(reinterpret_cast<const char*>(block), length);
    if (ReleaseNameProblem(text))
        return false;
    *name = text;
    return true;
}

uint64_t FileSetupSource::Length() { return m_file.GetLength(); }

void FileSetupSource::ReadAt(uint64_t offset, void* buffer, size_t size)
{
    if (offset != m_position)
        m_file.Seek(static_cast<int64_t>(offset), BinaryFile::begin);
    m_file.ReadExact(buffer, size);
    m_position = offset + size;
}

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

std::string ProgramImageProblem(const unsigned char* head, size_t size)
{
    if (size < 0x40 || head[0] != 'M' || head[1] != 'Z')
        return "not a program (no MZ header)";
    const uint32_t pe = GetLe32(head + 0x3C);
    if (pe > size || size - pe < 24 || memcmp(head + pe, "PE\0\0", 4) != 0)
        return "not a Windows program (no PE header)";
    const uint16_t machine = GetLe16(head + pe + 4);
    const uint16_t characteristics = GetLe16(head + pe + 22);
    if (machine != 0x14C && machine != 0x8664)
        return "a program for another processor";
    if (!(characteristics & 0x0002))
        return "not an executable image";
    if (characteristics & 0x2000)
        return "a DLL, not a program";
    return std::string();
}

SignatureTable FindSignatureTable(const unsigned char* head, size_t size)
{
    SignatureTable table;
    size = std::min(size, kHeadSize);
    if (size < 0x40 || head[0] != 'M' || head[1] != 'Z')
        return table;
    const uint32_t pe = GetLe32(head + 0x3C);
    // Signature, file header (20 bytes), optional header.
    if (pe > size || size - pe < 24 + 2 || memcmp(head + pe, "PE\0\0", 4) != 0)
        return table;
    const uint32_t optional = pe + 24;
    const uint16_t optionalSize = GetLe16(head + pe + 20);
    const uint16_t magic = GetLe16(head + optional);
    uint32_t countAt = 0, directories = 0;
    if (magic == 0x10B) {
        countAt = 92;
        directories = 96;
    } else if (magic == 0x20B) {
        countAt = 108;
        directories = 112;
    } else {
        return table;
    }
    const uint32_t securityAt = directories + 4 * 8;
    if (optionalSize < securityAt + 8 || size - optional < securityAt + 8)
        return table;
    if (GetLe32(head + optional + countAt) <= 4)
        return table;
    table.checksumAt = optional + 64;
    table.directoryAt = optional + securityAt;
    table.offset = GetLe32(head + table.directoryAt);
    table.size = GetLe32(head + table.directoryAt + 4);
    table.present = table.offset != 0 || table.size != 0;
    return table;
}

ImageCheck CheckSetupSource(SetupSource& source, unsigned char* buffer, size_t bufferSize, SetupLayout* layout,
                            PackageSink* sink)
{
    const uint64_t length = source.Length();
    if (length < kTrailerSize)
        return ImageCheck::tooShort;
    if (length > kMaxSetupLength)
        return ImageCheck::tooLarge;

    // A signed file: the trailer lies right before the certificate table,
    // which ends the file; the table itself is not covered by the digest.
    const size_t headSize = static_cast<size_t>(std::min<uint64_t>(length, kHeadSize));
    source.ReadAt(0, buffer, headSize);
    const SignatureTable table = FindSignatureTable(buffer, headSize);
    uint64_t end = length;
    if (table.present) {
        if (static_cast<uint64_t>(table.offset) + table.size != length || table.offset % kSetupAlignment != 0 ||
            table.offset < kTrailerSize + table.directoryAt + 8)
            return ImageCheck::signatureMisplaced;
        end = table.offset;
    }
    const uint64_t trailerAt = end - kTrailerSize;
    const uint64_t sectionsEnd = PeSectionsEnd(buffer, headSize);
    unsigned char encoded[kTrailerSize];
    source.ReadAt(trailerAt, encoded, kTrailerSize);
    const PackageTrailer trailer = DecodeTrailer(encoded);
    std::string releaseName;
    const bool nameWhole = ReadReleaseNameBlock(source, trailerAt, trailer.reserved, &releaseName);
    // The package ends where the name block starts.
    const uint64_t packageEnd = nameWhole ? trailerAt - trailer.reserved : trailerAt;
    const bool packageInside = trailer.packageOffset <= packageEnd;

    // One pass: the package to the sink as it is, the PE checksum over the
    // whole of a signed file, the MD5 over everything before the trailer
    // (in a signed file with the fields that signing changes read as zero).
    Md5 md5;
    PeChecksum checksum;
    const uint64_t passEnd = table.present ? length : trailerAt;
    for (uint64_t pos = 0; pos < passEnd;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(bufferSize, passEnd - pos));
        source.ReadAt(pos, buffer, n);
        if (sink && packageInside) {
            uint64_t from = std::max<uint64_t>(pos, trailer.packageOffset), to = std::min(pos + n, packageEnd);
            if (from < to)
                sink->Take(buffer + (from - pos), static_cast<size_t>(to - from));
        }
        if (table.present) {
            ZeroWithin(buffer, pos, n, table.checksumAt, 4);
            checksum.Add(buffer, n);
            ZeroWithin(buffer, pos, n, table.directoryAt, 8);
        }
        if (pos < trailerAt)
            md5.Update(buffer, static_cast<size_t>(std::min<uint64_t>(n, trailerAt - pos)));
        pos += n;
    }
    unsigned char digest[16];
    if (!md5.Final(digest))
        return ImageCheck::digestUnavailable;
    if (memcmp(digest, trailer.digest, 16) != 0) {
        // What mksetup writes: a package after the program's sections and a
        // name block that its length describes. Anything else at the end is
        // no trailer at all.
        const bool trailerLike = nameWhole && packageInside && trailer.packageOffset > 0 &&
                                 trailer.packageOffset >= sectionsEnd;
        return trailerLike ? ImageCheck::digestMismatch : ImageCheck::notSetupFile;
    }
    if (table.present) {
        // The checksum field is the one byte range of a signed image that
        // the digest does not cover: zero (none) or the file's checksum.
        unsigned char field[4];
        source.ReadAt(table.checksumAt, field, 4);
        const uint32_t stored = GetLe32(field);
        if (stored != 0 && stored != checksum.Final(length))
            return ImageCheck::digestMismatch;
    }
    // The trailer's own fields are not covered by the digest: a packaging
    // fault could still point past the trailer.
    if (!nameWhole)
        return ImageCheck::nameBlockDamaged;
    if (!packageInside)
        return ImageCheck::offsetBeyondTrailer;
    if (layout) {
        layout->packageOffset = trailer.packageOffset;
        layout->packageSize = static_cast<uint32_t>(packageEnd - trailer.packageOffset);
        layout->isSigned = table.present;
        layout->releaseName = releaseName;
        memcpy(layout->digest, trailer.digest, 16);
    }
    return ImageCheck::ok;
}

ImageCheck CheckSetupImage(const unsigned char* bytes, size_t size, uint32_t* packageOffset, uint32_t* packageSize)
{
    if (size < kTrailerSize)
        return ImageCheck::tooShort;
    MemorySource source(bytes, size);
    std::vector<unsigned char> buffer(std::min<size_t>(kSetupBufferSize, std::max<size_t>(size + 1, kHeadSize)));
    SetupLayout layout;
    ImageCheck check = CheckSetupSource(source, buffer.data(), buffer.size() & ~size_t(1), &layout);
    if (check == ImageCheck::ok) {
        if (packageOffset)
            *packageOffset = layout.packageOffset;
        if (packageSize)
            *packageSize = layout.packageSize;
    }
    return check;
}

const char* ImageCheckReason(ImageCheck check)
{
    switch (check) {
    case ImageCheck::ok: return "ok";
    case ImageCheck::tooShort: return "file is shorter than the 24-byte package trailer";
    case ImageCheck::tooLarge:
        return "file is larger than 4 GiB - 1 byte, more than the trailer's 32-bit fields can address";
    case ImageCheck::digestMismatch: return "MD5 digest does not match the trailer (file damaged, cut short or altered)";
    case ImageCheck::offsetBeyondTrailer: return "package offset lies beyond the trailer";
    case ImageCheck::digestUnavailable: return "MD5 digest could not be computed";
    case ImageCheck::signatureMisplaced:
        return "the certificate table of the signature does not end the file or leaves no room for the trailer";
    case ImageCheck::unreadable: return "the file could not be opened or read";
    case ImageCheck::notSetupFile:
        return "not a setup file: no package trailer at its end (a program without a package, or a setup file cut "
               "short)";
    case ImageCheck::nameBlockDamaged:
        return "the release name before the trailer is damaged (the trailer does not describe it)";
    }
    return "unknown";
}

const char* ImageCheckCause(ImageCheck check)
{
    switch (check) {
    case ImageCheck::ok: return "完好";
    case ImageCheck::tooShort: return "文件比安装包尾部的24字节还短（复制不完整）";
    case ImageCheck::tooLarge: return "文件超过4 GiB";
    case ImageCheck::digestMismatch: return "安装文件的内容与它记录的MD5摘要不符（复制不完整或已损坏）";
    case ImageCheck::offsetBeyondTrailer: return "安装包尾部记录的安装包位置超出文件（已损坏）";
    case ImageCheck::digestUnavailable: return "无法计算MD5摘要";
    case ImageCheck::signatureMisplaced:
        return "数字签名的证书表不在文件末尾或没有给安装包尾部留出位置（签名后文件被改动或复制不完整）";
    case ImageCheck::unreadable: return "文件无法打开或读取";
    case ImageCheck::notSetupFile: return "文件末尾没有安装包尾部（不是安装文件，或复制不完整）";
    case ImageCheck::nameBlockDamaged: return "安装包尾部之前的版本名称已损坏";
    }
    return "未知";
}

ImageCheck CheckSetupFileAt(const std::string& path, PackageSink* sink, FileError* error)
{
    try {
        std::vector<unsigned char> buffer(kSetupBufferSize);
        BinaryFile file;
        file.OpenOrThrow(path, BinaryFile::modeRead | BinaryFile::shareDenyNone);
        FileSetupSource source(file);
        SetupLayout layout;
        ImageCheck check = CheckSetupSource(source, buffer.data(), buffer.size(), &layout, sink);
        file.Close();
        return check;
    } catch (const FileError& e) {
        if (error)
            *error = e;
    } catch (const std::bad_alloc&) {
        const long kNotEnoughMemory = 8; // ERROR_NOT_ENOUGH_MEMORY
        if (error)
            *error = FileError(FileError::genericException, kNotEnoughMemory, path);
    }
    return ImageCheck::unreadable;
}

bool CheckSetupFile(const std::string& path, SetupLayout* layout, std::string* reason)
{
    ImageCheck check = ImageCheck::ok;
    SetupLayout found;
    try {
        std::vector<unsigned char> buffer(kSetupBufferSize);
        BinaryFile file;
        file.OpenOrThrow(path, BinaryFile::modeRead | BinaryFile::shareDenyNone);
        FileSetupSource source(file);
        check = CheckSetupSource(source, buffer.data(), buffer.size(), &found);
        file.Close();
    } catch (const FileError& e) {
        if (reason)
            *reason = std::string("cannot read ") + e.what();
        return false;
    } catch (const std::bad_alloc&) {
        if (reason)
            *reason = "not enough memory to check " + path;
        return false;
    }
    if (check != ImageCheck::ok) {
        if (reason)
            *reason = ImageCheckReason(check);
        return false;
    }
    if (layout)
        *layout = found;
    return true;
}

bool CheckSetupFile(const std::string& path, uint32_t* packageOffset, uint32_t* packageSize, std::string* reason,
                    bool* isSigned)
{
    SetupLayout layout;
    if (!CheckSetupFile(path, &layout, reason))
        return false;
    if (packageOffset)
        *packageOffset = layout.packageOffset;
    if (packageSize)
        *packageSize = layout.packageSize;
    if (isSigned)
        *isSigned = layout.isSigned;
    return true;
}

bool WriteSetupFile(const std::string& programPath, const std::string& packagePath, const std::string& outPath,
                    std::string* reason, const std::string& releaseName)
{
    auto fail = [reason](const std::string& why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (!releaseName.empty() && ReleaseNameProblem(releaseName))
        return fail(std::string("release name '") + releaseName + "': " + ReleaseNameProblem(releaseName));
    std::string nameBlock;
    if (!releaseName.empty()) {
        unsigned char count[4];
        PutLe32(count, static_cast<uint32_t>(releaseName.size()));
        nameBlock = releaseName + std::string(reinterpret_cast<const char*>(count), 4) +
                    std::string(reinterpret_cast<const char*>(kReleaseNameMagic), kReleaseNameMagicSize);
    }
    bool created = false;
    try {
        std::vector<unsigned char> buffer(kSetupBufferSize);
        BinaryFile program, package;
        if (!program.Open(programPath, BinaryFile::modeRead | BinaryFile::shareDenyWrite))
            return fail("cannot read " + programPath);
        if (!package.Open(packagePath, BinaryFile::modeRead | BinaryFile::shareDenyWrite))
            return fail("cannot read " + packagePath);
        const uint64_t programLength = program.GetLength(), packageLength = package.GetLength();
        if (programLength == 0)
            return fail(programPath + " is empty: PROGRAM is the setup program");
        {
            // A finished setup file as the program would carry two packages,
            // and the setup would install the first.
            FileSetupSource source(program);
            if (CheckSetupSource(source, buffer.data(), buffer.size(), nullptr) == ImageCheck::ok)
                return fail(programPath + " is a setup file already (it carries a package): give the setup program "
                                          "itself as PROGRAM");
            program.Seek(0, BinaryFile::begin);
        }
        const uint64_t unpadded = programLength + packageLength + nameBlock.size() + kTrailerSize;
        const uint64_t padding = (kSetupAlignment - unpadded % kSetupAlignment) % kSetupAlignment;
        if (unpadded + padding > kMaxSetupLength)
            return fail("setup file would be larger than 4 GiB - 1 byte (" + std::to_string(unpadded + padding) +
                        " bytes), more than the trailer's 32-bit fields can address");

        PackageTrailer trailer;
        trailer.packageOffset = static_cast<uint32_t>(programLength + padding);
        Md5 md5;
        BinaryFile out;
        out.OpenOrThrow(outPath, BinaryFile::modeCreate | BinaryFile::modeWrite);
        created = true;
        auto put = [&](const unsigned char* data, size_t n) {
            md5.Update(data, n);
            out.Write(data, n);
        };
        // The program, with the PE checksum that its new length would make
        // wrong zeroed: a signed setup file's digest reads it as zero.
        bool first = true;
        for (uint64_t left = programLength; left > 0;) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
            program.ReadExact(buffer.data(), n);
            if (first) {
                SignatureTable table = FindSignatureTable(buffer.data(), n);
                if (table.present)
                    throw std::runtime_error(programPath +
                                             " is already signed; sign the finished setup file instead");
                if (table.checksumAt != 0)
                    memset(buffer.data() + table.checksumAt, 0, 4);
                first = false;
            }
            put(buffer.data(), n);
            left -= n;
        }
        const unsigned char zeros[kSetupAlignment] = {0};
        put(zeros, static_cast<size_t>(padding));
        for (uint64_t left = packageLength; left > 0;) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
            package.ReadExact(buffer.data(), n);
            put(buffer.data(), n);
            left -= n;
        }
        put(reinterpret_cast<const unsigned char*>(nameBlock.data()), nameBlock.size());
        trailer.reserved = static_cast<uint32_t>(nameBlock.size());
        if (!md5.Final(trailer.digest))
            throw std::runtime_error("MD5 digest could not be computed");
        unsigned char encoded[kTrailerSize];
        EncodeTrailer(trailer, encoded);
        out.Write(encoded, sizeof encoded);
        out.Close();
        return true;
    } catch (const FileError& e) {
        if (created)
            remove(outPath.c_str());
        return fail(std::string("cannot write ") + outPath + ": " + e.what());
    } catch (const std::exception& e) {
        if (created)
            remove(outPath.c_str());
        return fail(e.what());
    }
}
