#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Md5.h"
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
    EXPECT_EQ(Check(Image(10, 10, 0x12345678)), ImageCheck::ok) << "the reserved field is not interpreted";
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
        ASSERT_TRUE(c == ImageCheck::digestMismatch || c == ImageCheck::tooShort) << "cut " << cut;
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
    std::vector<unsigned char> bytes;
    ASSERT_TRUE(ReadWholeFile(out, bytes));
    ASSERT_EQ(bytes.size(), p.size() + k.size() + kTrailerSize);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4321), p);
    EXPECT_EQ(std::string(bytes.begin() + 4321, bytes.end() - kTrailerSize), k);
    EXPECT_EQ(DecodeTrailer(bytes.data() + bytes.size() - kTrailerSize).reserved, 0u);

    uint32_t offset = 0, size = 0;
    EXPECT_TRUE(CheckSetupFile(out, &offset, &size, &reason)) << reason;
    EXPECT_EQ(offset, 4321u);
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
