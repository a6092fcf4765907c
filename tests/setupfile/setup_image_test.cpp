#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Md5.h"
#include "setupfile/SetupDigest.h"
#include "setupfile/SetupImage.h"
#include "platform/File.h"
#include "platform/TempDirectory.h"

namespace {
std::string Hex(const unsigned char* d, size_t n)
{
    std::string s;
    char b[3];
    for (size_t i = 0; i < n; ++i) {
        snprintf(b, sizeof b, "%02x", d[i]);
        s += b;
    }
    return s;
}

std::string Md5Hex(const std::string& text)
{
    unsigned char d[16];
    EXPECT_TRUE(Md5Digest(text.data(), text.size(), d));
    return Hex(d, 16);
}

std::vector<unsigned char> Image(size_t programSize, size_t packageSize, uint32_t reserved = 0)
{
    std::vector<unsigned char> body(programSize + packageSize);
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<unsigned char>((i * 131) >> 3);
    PackageTrailer t;
    t.packageOffset = static_cast<uint32_t>(programSize);
    t.reserved = reserved;
    EXPECT_TRUE(Md5Digest(body.data(), body.size(), t.digest));
    unsigned char enc[kTrailerSize];
    EncodeTrailer(t, enc);
    body.insert(body.end(), enc, enc + kTrailerSize);
    return body;
}

ImageCheck Check(const std::vector<unsigned char>& b, uint32_t* offset = nullptr, uint32_t* size = nullptr)
{
    return CheckSetupImage(b.data(), b.size(), offset, size);
}
} // namespace

TEST(Md5, MatchesTheRfc1321TestSuite)
{
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, GivesTheSameDigestWhenFedInPieces)
{
    std::string text(100000, 'q');
    Md5 md5;
    md5.Update(text.data(), 1);
    md5.Update(text.data() + 1, 65535);
    md5.Update(text.data() + 65536, text.size() - 65536);
    unsigned char d[16];
    ASSERT_TRUE(md5.Final(d));
    EXPECT_EQ(Hex(d, 16), Md5Hex(text));
}

TEST(Trailer, IsLittleEndianOffsetReservedDigest)
{
    PackageTrailer t;
    t.packageOffset = 0x01020304;
    t.reserved = 0xA0B0C0D0;
    for (int i = 0; i < 16; ++i)
        t.digest[i] = static_cast<unsigned char>(0xF0 + i);
    unsigned char enc[kTrailerSize];
    EncodeTrailer(t, enc);
    EXPECT_EQ(Hex(enc, 8), "04030201d0c0b0a0");
    EXPECT_EQ(Hex(enc + 8, 16), "f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff");
    PackageTrailer back = DecodeTrailer(enc);
    EXPECT_EQ(back.packageOffset, t.packageOffset);
    EXPECT_EQ(back.reserved, t.reserved);
    EXPECT_EQ(memcmp(back.digest, t.digest, 16), 0);
}

TEST(CheckSetupImage, AcceptsAWholeFileAndNamesThePackage)
{
    uint32_t offset = 0, size = 0;
    EXPECT_EQ(Check(Image(3000, 700), &offset, &size), ImageCheck::ok);
    EXPECT_EQ(offset, 3000u);
    EXPECT_EQ(size, 700u);
    // Edge layouts: no program image, an empty package, nothing but a trailer.
    EXPECT_EQ(Check(Image(0, 50), &offset, &size), ImageCheck::ok);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(size, 50u);
    EXPECT_EQ(Check(Image(50, 0), &offset, &size), ImageCheck::ok);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(Check(Image(0, 0), &offset, &size), ImageCheck::ok);
    // The reserved field is the name block's length: one that describes no
    // block is a damaged file, though the digest matches.
    EXPECT_EQ(Check(Image(10, 10, 0x12345678)), ImageCheck::nameBlockDamaged);
    EXPECT_EQ(Check(Image(10, 30, 13)), ImageCheck::nameBlockDamaged);
}

TEST(CheckSetupImage, RejectsEveryChangedByteBeforeTheTrailerAndInTheDigest)
{
    std::vector<unsigned char> good = Image(200, 100);
    for (size_t i = 0; i < good.size(); ++i) {
        if (i >= good.size() - kTrailerSize && i < good.size() - 16)
            continue; // offset and reserved: not covered by the digest
        std::vector<unsigned char> bad = good;
        bad[i] ^= 0x40;
        ASSERT_EQ(Check(bad), ImageCheck::digestMismatch) << "byte " << i;
    }
}

TEST(CheckSetupImage, RejectsEveryTruncation)
{
    std::vector<unsigned char> good = Image(200, 100);
    for (size_t cut = 1; cut <= good.size(); ++cut) {
        std::vector<unsigned char> bad(good.begin(), good.end() - cut);
        ImageCheck c = Check(bad);
        ASSERT_TRUE(c == ImageCheck::digestMismatch || c == ImageCheck::notSetupFile || c == ImageCheck::tooShort)
            << "cut " << cut;
        if (bad.size() < kTrailerSize) {
            EXPECT_EQ(c, ImageCheck::tooShort);
        }
    }
    EXPECT_EQ(CheckSetupImage(nullptr, 0, nullptr, nullptr), ImageCheck::tooShort);
}

TEST(CheckSetupImage, RejectsASignedOffsetBeyondTheTrailer)
{
    std::vector<unsigned char> good = Image(200, 100);
    const size_t signedLength = good.size() - kTrailerSize;
    for (uint64_t offset : {uint64_t(signedLength), uint64_t(signedLength + 1), uint64_t(0xFFFFFFFF)}) {
        std::vector<unsigned char> b = good;
        PackageTrailer t = DecodeTrailer(b.data() + signedLength);
        t.packageOffset = static_cast<uint32_t>(offset);
        EncodeTrailer(t, b.data() + signedLength);
        uint32_t o = 0, s = 99;
        ImageCheck c = Check(b, &o, &s);
        if (offset == signedLength) {
            EXPECT_EQ(c, ImageCheck::ok);
            EXPECT_EQ(s, 0u);
        } else {
            EXPECT_EQ(c, ImageCheck::offsetBeyondTrailer) << offset;
            EXPECT_EQ(s, 99u) << "nothing is reported for a rejected file";
        }
    }
}

TEST(SetupFile, WriteThenCheckRoundTripsAndReportsReasons)
{
    std::string dir = SystemTempDirectory();
    std::string program = dir + "tlx_image_program.bin", package = dir + "tlx_image_package.bin",
                out = dir + "tlx_image_setup.bin";
    std::string p(4321, 'P'), k(1234, 'K');
    ASSERT_TRUE(WriteWholeFile(program, p.data(), p.size()));
    ASSERT_TRUE(WriteWholeFile(package, k.data(), k.size()));
    std::string reason;
    ASSERT_TRUE(WriteSetupFile(program, package, out, &reason)) << reason;
    // Program, zeros up to a length that is a multiple of 8, package, trailer.
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(ReadWholeFile(out, bytes));
    ASSERT_EQ(bytes.size(), 5584u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4321), p);
    EXPECT_EQ(std::string(bytes.begin() + 4321, bytes.begin() + 4326), std::string(5, '\0'));
    EXPECT_EQ(std::string(bytes.begin() + 4326, bytes.end() - kTrailerSize), k);
    EXPECT_EQ(DecodeTrailer(bytes.data() + bytes.size() - kTrailerSize).reserved, 0u);

    uint32_t offset = 0, size = 0;
    EXPECT_TRUE(CheckSetupFile(out, &offset, &size, &reason)) << reason;
    EXPECT_EQ(offset, 4326u);
    EXPECT_EQ(size, 1234u);

    bytes[10] ^= 1;
    ASSERT_TRUE(WriteWholeFile(out, bytes.data(), bytes.size()));
    EXPECT_FALSE(CheckSetupFile(out, &offset, &size, &reason));
    EXPECT_NE(reason.find("MD5"), std::string::npos) << reason;
    EXPECT_FALSE(CheckSetupFile(dir + "tlx_image_missing.bin", &offset, &size, &reason));
    EXPECT_NE(reason.find("cannot read"), std::string::npos) << reason;
    EXPECT_FALSE(WriteSetupFile(dir + "tlx_image_missing.bin", package, out, &reason));
    remove(program.c_str());
    remove(package.c_str());
    remove(out.c_str());
}

namespace {
// The smallest header that names a security directory: MZ, the PE offset,
// "PE\0\0", a file header and a PE32 optional header with 16 directories.
std::vector<unsigned char> PeProgram(size_t size)
{
    std::vector<unsigned char> b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = static_cast<unsigned char>(i * 13 + 5);
    memset(b.data(), 0, 0x200);
    b[0] = 'M';
    b[1] = 'Z';
    b[0x3C] = 0x80;
    memcpy(b.data() + 0x80, "PE\0\0", 4);
    b[0x80 + 20] = 224; // SizeOfOptionalHeader
    b[0x98] = 0x0B;     // PE32 magic 0x10B
    b[0x99] = 0x01;
    b[0x98 + 64] = 0x77; // a checksum that mksetup must clear
    b[0x98 + 92] = 16;   // NumberOfRvaAndSizes
    return b;
}

const size_t kChecksumAt = 0x98 + 64, kSecurityAt = 0x98 + 128;

void PutLe32At(std::vector<unsigned char>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Collects what the check hands out as the package.
struct CollectSink : PackageSink {
    std::vector<unsigned char> bytes;
    void Take(const unsigned char* data, size_t size) override { bytes.insert(bytes.end(), data, data + size); }
};

struct VectorSource : SetupSource {
    explicit VectorSource(const std::vector<unsigned char>& b) : bytes(b) {}
    uint64_t Length() override { return bytes.size(); }
    void ReadAt(uint64_t offset, void* buffer, size_t size) override { memcpy(buffer, bytes.data() + offset, size); }
    const std::vector<unsigned char>& bytes;
};

ImageCheck Stream(const std::vector<unsigned char>& b, SetupLayout* layout, std::vector<unsigned char>* package)
{
    VectorSource source(b);
    CollectSink sink;
    std::vector<unsigned char> buffer(4096);
    ImageCheck c = CheckSetupSource(source, buffer.data(), buffer.size(), layout, &sink);
    if (package)
        *package = sink.bytes;
    return c;
}
} // namespace

// A setup file signed after mksetup: certificate table after the trailer,
// named by the security directory; the header fields that signing changes
// are outside the digest, every other byte of image and package is in it.
TEST(SignedSetupFile, IsCheckedUpToItsCertificateTableAndNoFurther)
{
    std::string dir = SystemTempDirectory();
    std::string program = dir + "tlx_signed_program.bin", package = dir + "tlx_signed_package.bin",
                out = dir + "tlx_signed_setup.bin";
    std::vector<unsigned char> prog = PeProgram(9001);
    std::vector<unsigned char> pack(20003);
    for (size_t i = 0; i < pack.size(); ++i)
        pack[i] = static_cast<unsigned char>(i * 7 + 3);
    ASSERT_TRUE(WriteWholeFile(program, prog.data(), prog.size()));
    ASSERT_TRUE(WriteWholeFile(package, pack.data(), pack.size()));
    std::string reason;
    ASSERT_TRUE(WriteSetupFile(program, package, out, &reason)) << reason;
    std::vector<unsigned char> unsignedFile;
    ASSERT_TRUE(ReadWholeFile(out, unsignedFile));
    ASSERT_EQ(unsignedFile.size() % 8, 0u) << "a certificate table must be able to follow the trailer";
    EXPECT_EQ(unsignedFile[kChecksumAt], 0) << "the stale PE checksum is cleared";

    // Signing: a certificate table appended, the directory and the
    // checksum field set (0 here: no checksum, as a signer may leave it).
    std::vector<unsigned char> signedFile = unsignedFile;
    const uint32_t tableAt = static_cast<uint32_t>(signedFile.size());
    std::vector<unsigned char> table(1000, 0xC5);
    signedFile.insert(signedFile.end(), table.begin(), table.end());
    PutLe32At(signedFile, kSecurityAt, tableAt);
    PutLe32At(signedFile, kSecurityAt + 4, static_cast<uint32_t>(table.size()));

    SetupLayout layout;
    std::vector<unsigned char> got;
    ASSERT_EQ(Stream(signedFile, &layout, &got), ImageCheck::ok);
    EXPECT_TRUE(layout.isSigned);
    EXPECT_EQ(layout.packageOffset, 9005u);
    EXPECT_EQ(got, pack) << "exactly the package, across buffer boundaries";
    ASSERT_TRUE(WriteWholeFile(out, signedFile.data(), signedFile.size()));
    bool isSigned = false;
    EXPECT_TRUE(CheckSetupFile(out, nullptr, nullptr, &reason, &isSigned)) << reason;
    EXPECT_TRUE(isSigned);

    // The signature's own bytes are not part of the digest ...
    std::vector<unsigned char> b = signedFile;
    b[tableAt + 500] ^= 0xFF;
    EXPECT_EQ(Stream(b, nullptr, nullptr), ImageCheck::ok);
    // ... every byte of image, padding, package and digest is.
    for (size_t at : {size_t(0x3C), size_t(kChecksumAt + 8), size_t(4095), size_t(4096), size_t(9003),
                      size_t(9008), size_t(20000), size_t(tableAt - 1)}) {
        b = signedFile;
        b[at] ^= 0x20;
        ImageCheck c = Stream(b, nullptr, nullptr);
        EXPECT_NE(c, ImageCheck::ok) << "byte " << at;
    }
    // The checksum field: zero, or the file's checksum; anything else is a change.
    b = signedFile;
    PutLe32At(b, kChecksumAt, 0x1234);
    EXPECT_EQ(Stream(b, nullptr, nullptr), ImageCheck::digestMismatch);
    // A certificate table that does not end the file: a byte after it, or a
    // size one short.
    b = signedFile;
    b.push_back(0);
    EXPECT_EQ(Stream(b, nullptr, nullptr), ImageCheck::signatureMisplaced);
    b = signedFile;
    PutLe32At(b, kSecurityAt + 4, 999);
    EXPECT_EQ(Stream(b, nullptr, nullptr), ImageCheck::signatureMisplaced);
    // One that ends the file on an aligned offset but leaves no room for the
    // trailer after the header's security directory, and one inside the
    // header itself: only the room rule can refuse these two.
    const uint32_t noRoom = static_cast<uint32_t>((24 + kSecurityAt + 8 - 1) / 8 * 8);
    for (uint32_t at : {noRoom, 8u}) {
        b = signedFile;
        PutLe32At(b, kSecurityAt, at);
        PutLe32At(b, kSecurityAt + 4, static_cast<uint32_t>(b.size() - at));
        ASSERT_EQ(at % 8, 0u);
        EXPECT_EQ(Stream(b, nullptr, nullptr), ImageCheck::signatureMisplaced) << "table at " << at;
    }
    // A cut-off certificate table.
    b.assign(signedFile.begin(), signedFile.end() - 8);
    EXPECT_NE(Stream(b, nullptr, nullptr), ImageCheck::ok);

    // A program that is signed already is refused: its signature would
    // stand for nothing once the package is appended.
    PutLe32At(prog, kSecurityAt, 8000);
    PutLe32At(prog, kSecurityAt + 4, 1000);
    ASSERT_TRUE(WriteWholeFile(program, prog.data(), prog.size()));
    EXPECT_FALSE(WriteSetupFile(program, package, out, &reason));
    EXPECT_NE(reason.find("already signed"), std::string::npos) << reason;
    EXPECT_FALSE(FileExists(out));
    remove(program.c_str());
    remove(package.c_str());
}

namespace {
// The PE checksum as the loader computes it, written out here on its own:
// 16-bit words summed with every carry folded back, plus the length.
uint32_t ReferencePeChecksum(const std::vector<unsigned char>& b, uint64_t* unfolded)
{
    // The checksum field itself counts as zero.
    auto at = [&](size_t i) { return i >= kChecksumAt && i < kChecksumAt + 4 ? 0u : unsigned(b[i]); };
    uint64_t sum = 0;
    for (size_t i = 0; i + 1 < b.size(); i += 2)
        sum += at(i) | at(i + 1) << 8;
    if (b.size() % 2)
        sum += at(b.size() - 1);
    *unfolded = sum;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + b.size());
}
} // namespace

// A signer that sets the checksum field: the file's own checksum is accepted,
// also where the sum of its words needs more than one fold.
TEST(SignedSetupFile, AcceptsItsOwnChecksumFoldedWhole)
{
    std::string dir = SystemTempDirectory();
    std::string program = dir + "tlx_sum_program.bin", package = dir + "tlx_sum_package.bin",
                out = dir + "tlx_sum_setup.bin";
    std::vector<unsigned char> prog = PeProgram(9001);
    std::vector<unsigned char> pack(0x30000, 0xFF); // many 0xFFFF words: carries beyond one fold
    ASSERT_TRUE(WriteWholeFile(program, prog.data(), prog.size()));
    ASSERT_TRUE(WriteWholeFile(package, pack.data(), pack.size()));
    std::string reason;
    ASSERT_TRUE(WriteSetupFile(program, package, out, &reason)) << reason;
    std::vector<unsigned char> signedFile;
    ASSERT_TRUE(ReadWholeFile(out, signedFile));
    const uint32_t tableAt = static_cast<uint32_t>(signedFile.size());
    signedFile.insert(signedFile.end(), 1000, 0xFF);
    PutLe32At(signedFile, kSecurityAt, tableAt);
    PutLe32At(signedFile, kSecurityAt + 4, 1000);
    uint64_t unfolded = 0;
    const uint32_t checksum = ReferencePeChecksum(signedFile, &unfolded);
    ASSERT_GT((unfolded & 0xFFFF) + (unfolded >> 16), 0xFFFFu) << "the case needs a second fold";
    PutLe32At(signedFile, kChecksumAt, checksum);
    EXPECT_EQ(Stream(signedFile, nullptr, nullptr), ImageCheck::ok);
    PutLe32At(signedFile, kChecksumAt, checksum + 1);
    EXPECT_EQ(Stream(signedFile, nullptr, nullptr), ImageCheck::digestMismatch);
    remove(program.c_str());
    remove(package.c_str());
    remove(out.c_str());
}

// The release's name between package and trailer: under the digest, apart
// from the package, and found again through the trailer by the check and by
// the run state's reader, signed or not.
TEST(ReleaseName, IsStoredUnderTheDigestApartFromThePackage)
{
    std::string dir = SystemTempDirectory();
    std::string program = dir + "tlx_named_program.bin", package = dir + "tlx_named_package.bin",
                out = dir + "tlx_named_setup.bin";
    std::vector<unsigned char> prog = PeProgram(5000);
    std::vector<unsigned char> pack(3001, 0x5A);
    ASSERT_TRUE(WriteWholeFile(program, prog.data(), prog.size()));
    ASSERT_TRUE(WriteWholeFile(package, pack.data(), pack.size()));
    std::string reason;
    ASSERT_TRUE(WriteSetupFile(program, package, out, &reason, "TorneLix 4.2 (r3)")) << reason;
    std::vector<unsigned char> named;
    ASSERT_TRUE(ReadWholeFile(out, named));
    EXPECT_EQ(named.size() % 8, 0u);

    SetupLayout layout;
    std::vector<unsigned char> got;
    ASSERT_EQ(Stream(named, &layout, &got), ImageCheck::ok);
    EXPECT_EQ(layout.releaseName, "TorneLix 4.2 (r3)");
    EXPECT_EQ(got, pack) << "the name is no part of the package the setup starts";
    unsigned char digest[16];
    ASSERT_TRUE(Md5Digest(named.data(), named.size() - kTrailerSize, digest));
    EXPECT_EQ(DigestHex(layout.digest), Hex(digest, 16));
    EXPECT_EQ(RecordedSetupDigest(out), Hex(digest, 16));
    EXPECT_EQ(RecordedReleaseName(out), "TorneLix 4.2 (r3)");

    // Signed afterwards: the same name and the digest of the file as built.
    std::vector<unsigned char> signedFile = named;
    const uint32_t tableAt = static_cast<uint32_t>(signedFile.size());
    signedFile.insert(signedFile.end(), 512, 0xC5);
    PutLe32At(signedFile, kSecurityAt, tableAt);
    PutLe32At(signedFile, kSecurityAt + 4, 512);
    ASSERT_TRUE(WriteWholeFile(out, signedFile.data(), signedFile.size()));
    ASSERT_TRUE(CheckSetupFile(out, &layout, &reason)) << reason;
    EXPECT_TRUE(layout.isSigned);
    EXPECT_EQ(layout.releaseName, "TorneLix 4.2 (r3)");
    EXPECT_EQ(RecordedReleaseName(out), "TorneLix 4.2 (r3)");
    EXPECT_EQ(RecordedSetupDigest(out), Hex(digest, 16));

    // A changed name byte is a changed file; a name-block length that was
    // lost or changed (the trailer's fields are outside the digest) is refused.
    const size_t trailerAt = named.size() - kTrailerSize;
    std::vector<unsigned char> b = named;
    b[trailerAt - 14] ^= 0x01;
    EXPECT_EQ(Stream(b, nullptr, nullptr), ImageCheck::digestMismatch);
    for (uint32_t reserved : {0u, 28u, 30u, 2000u}) {
        b = named;
        PutLe32At(b, trailerAt + 4, reserved);
        EXPECT_EQ(Stream(b, nullptr, nullptr), ImageCheck::nameBlockDamaged) << reserved;
    }

    // Names that an INI file, the registry or an engine's rule would misread.
    remove(out.c_str());
    for (const char* bad : {" lead", "trail ", "quo\"te", "new\nline", "semi;colon", "\xd6\xd0"}) {
        EXPECT_FALSE(WriteSetupFile(program, package, out, &reason, bad)) << bad;
        EXPECT_FALSE(FileExists(out)) << bad;
    }
    EXPECT_FALSE(WriteSetupFile(program, package, out, &reason, std::string(65, 'x')));

    // Without a name: the file as before, and no name to read.
    ASSERT_TRUE(WriteSetupFile(program, package, out, &reason)) << reason;
    EXPECT_EQ(RecordedReleaseName(out), "");
    EXPECT_TRUE(CheckSetupFile(out, &layout, &reason)) << reason;
    EXPECT_EQ(layout.packageSize, pack.size());
    remove(program.c_str());
    remove(package.c_str());
    remove(out.c_str());
}

// What mksetup is given by mistake: a bare program is no setup file (not a
// damaged one), and a finished setup file or an empty file is no PROGRAM.
TEST(SetupFile, TellsABareProgramFromADamagedSetupFileAndRefusesOneAsProgram)
{
    std::string dir = SystemTempDirectory();
    std::string program = dir + "tlx_bare_program.bin", package = dir + "tlx_bare_package.bin",
                out = dir + "tlx_bare_setup.bin", again = dir + "tlx_bare_again.bin";
    std::vector<unsigned char> prog = PeProgram(6000);
    // One section that ends the image, its last bytes zero as a linker pads.
    prog[0x80 + 6] = 1;
    const size_t section = 0x98 + 224;
    PutLe32At(prog, section + 16, 6000 - 0x400);
    PutLe32At(prog, section + 20, 0x400);
    std::fill(prog.end() - 64, prog.end(), 0);
    std::vector<unsigned char> pack(777, 0x33);
    ASSERT_TRUE(WriteWholeFile(program, prog.data(), prog.size()));
    ASSERT_TRUE(WriteWholeFile(package, pack.data(), pack.size()));
    std::string reason;
    EXPECT_FALSE(CheckSetupFile(program, nullptr, nullptr, &reason));
    EXPECT_NE(reason.find("not a setup file"), std::string::npos) << reason;

    ASSERT_TRUE(WriteSetupFile(program, package, out, &reason)) << reason;
    std::vector<unsigned char> b;
    ASSERT_TRUE(ReadWholeFile(out, b));
    b[6100] ^= 0x10;
    EXPECT_EQ(Stream(b, nullptr, nullptr), ImageCheck::digestMismatch) << "a damaged setup file stays damaged";

    EXPECT_FALSE(WriteSetupFile(out, package, again, &reason));
    EXPECT_NE(reason.find("is a setup file already"), std::string::npos) << reason;
    EXPECT_FALSE(FileExists(again));
    ASSERT_TRUE(WriteWholeFile(program, prog.data(), 0));
    EXPECT_FALSE(WriteSetupFile(program, package, again, &reason));
    EXPECT_FALSE(FileExists(again));
    remove(program.c_str());
    remove(package.c_str());
    remove(out.c_str());
}

// What /CHECK asks of a package before it calls an update possible: the
// update starts it as a program.
TEST(ProgramImage, OnlyAnExecutableImageForThisMachinesProcessorsIsAProgram)
{
    auto image = [](uint16_t machine, uint16_t characteristics) {
        std::vector<unsigned char> b(512, 0);
        b[0] = 'M';
        b[1] = 'Z';
        b[0x3C] = 0x80;
        memcpy(&b[0x80], "PE\0\0", 4);
        b[0x84] = machine & 0xFF;
        b[0x85] = machine >> 8;
        b[0x96] = characteristics & 0xFF;
        b[0x97] = characteristics >> 8;
        return b;
    };
    std::vector<unsigned char> exe = image(0x14C, 0x0102), exe64 = image(0x8664, 0x0022);
    EXPECT_EQ(ProgramImageProblem(exe.data(), exe.size()), "");
    EXPECT_EQ(ProgramImageProblem(exe64.data(), exe64.size()), "");
    std::vector<unsigned char> dll = image(0x14C, 0x2102), object = image(0x14C, 0x0100), arm = image(0x1C4, 0x0102);
    EXPECT_EQ(ProgramImageProblem(dll.data(), dll.size()), "a DLL, not a program");
    EXPECT_EQ(ProgramImageProblem(object.data(), object.size()), "not an executable image");
    EXPECT_EQ(ProgramImageProblem(arm.data(), arm.size()), "a program for another processor");
    // A damaged package: text, a header cut short, a PE offset past the end.
    const unsigned char text[] = "PK\3\4 not a program at all, just an archive's first bytes ..........";
    EXPECT_EQ(ProgramImageProblem(text, sizeof text), "not a program (no MZ header)");
    EXPECT_EQ(ProgramImageProblem(exe.data(), 0x90), "not a Windows program (no PE header)");
    std::vector<unsigned char> far = exe;
    far[0x3D] = 0x7F;
    EXPECT_EQ(ProgramImageProblem(far.data(), far.size()), "not a Windows program (no PE header)");
}
