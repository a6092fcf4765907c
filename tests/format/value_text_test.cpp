// Text forms of every built-in type: default forms, alias and "-f" print
// formats (and the ones refused), multipliers, the double shortening, PLC
// addresses, text members, and the parse direction.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "format/BuiltinTypes.h"
#include "format/DataMember.h"
#include "format/ValueText.h"
#include "support/TraceCapture.h"

using namespace value_text;

namespace {
CDataMember Member(const std::string& comment = std::string(), const char* format = nullptr)
{
    CDataMember m;
    m.m_strName = "m_x";
    m.m_strComment = comment;
    m.Notes().annotation = ParseAnnotation(comment).member;
    if (format)
        m.m_strPrintFormat = std::string(format);
    return m;
}

template <typename T>
std::string Show(int builtin, T value, const CDataMember& member = Member())
{
    unsigned char bytes[8] = {0};
    memcpy(bytes, &value, sizeof value);
    CPrintFormatCache cache;
    return FormatBuiltin(builtin, member, bytes, cache);
}
} // namespace

TEST(ValueText, DefaultFormsOfTheIntegerTypes)
{
    EXPECT_EQ(Show<int32_t>(btInt, -7), "-7");
    EXPECT_EQ(Show<uint32_t>(btUInt, 4000000000u), "4000000000");
    EXPECT_EQ(Show<int32_t>(btLong, INT32_MIN), "-2147483648");
    EXPECT_EQ(Show<uint32_t>(btULong, 0xFFFFFFFFu), "4294967295");
    EXPECT_EQ(Show<int16_t>(btShort, -2), "-2");
    EXPECT_EQ(Show<uint16_t>(btUShort, 65535), "65535");
    EXPECT_EQ(Show<int64_t>(btInt64, -5000000000LL), "-5000000000");
    EXPECT_EQ(Show<uint64_t>(btUInt64, 18446744073709551615ull), "18446744073709551615");
    EXPECT_EQ(Show<char>(btChar, 'A'), "A");
    EXPECT_EQ(Show<unsigned char>(btUChar, 'z'), "z");
    EXPECT_EQ(Show<unsigned char>(btChar, 0), ""); // a zero character ends the text
    EXPECT_EQ(Show<uint32_t>(btVoidPtr, 0xBEEFu), "0000BEEF");
    EXPECT_EQ(Show<uint8_t>(btBool, 2), "1");
    EXPECT_EQ(Show<uint8_t>(btBool, 0), "0");
}

TEST(ValueText, AliasFormatsFollowTheTypesWidthAndSign)
{
    EXPECT_EQ(Show<uint32_t>(btUInt, 255, Member("", "0x%08X")), "0x000000FF"); // DWORD
    EXPECT_EQ(Show<uint16_t>(btUShort, 2, Member("", "0x%04X")), "0x0002");     // WORD
    EXPECT_EQ(Show<uint8_t>(btUChar, 0xC8, Member("", "0x%02X")), "0xC8");      // BYTE
    EXPECT_EQ(Show<uint8_t>(btChar, 0x80, Member("", "0x%02X")), "0xFFFFFF80"); // TCHAR is signed
    EXPECT_EQ(Show<uint64_t>(btUInt64, 0x0123456789ABCDEFull, Member("", "0x%016I64X")), "0x0123456789ABCDEF");
    EXPECT_EQ(Show<int64_t>(btInt64, -1, Member("", "%I64d")), "-1");
    EXPECT_EQ(Show<int64_t>(btInt64, -1, Member("", "%lld")), "-1");
    EXPECT_EQ(Show<uint8_t>(btBool, 7, Member("", "%03d")), "007"); // bool with a format: the byte
    // "%ld" is a 32-bit long everywhere, "%hd" cuts to 16 bits.
    EXPECT_EQ(Show<int32_t>(btInt, -1, Member("", "%lu")), "4294967295");
    EXPECT_EQ(Show<int32_t>(btInt, 70000, Member("", "%hd")), "4464");
    EXPECT_EQ(Show<int32_t>(btInt, -1, Member("", "%I64d")), "-1"); // extended by the type's sign
    EXPECT_EQ(Show<double>(btDouble, 1.25, Member("", "%.3f mm")), "1.250 mm");
    EXPECT_EQ(Show<double>(btDouble, 1234.5, Member("", "%e")), "1.234500e+03");
    EXPECT_EQ(Show<float>(btFloat, 0.5f, Member("", "%+08.2lf")), "+0000.50");
    EXPECT_EQ(Show<int32_t>(btInt, 5, Member("", "100%% at %d")), "100% at 5");
}

TEST(ValueText, FormatsThatDoNotFitAreRefusedWithATraceLine)
{
    struct Case {
        int builtin;
        const char* format;
        const char* expected; // the default form
    } cases[] = {
        {btInt, "%s", "42"},          {btInt, "%n", "42"},          {btInt, "%*d", "42"},
        {btInt, "%d %d", "42"},       {btInt, "no conversion", "42"}, {btInt, "%f", "42"},
        {btInt, "%hhd", "42"},        {btInt, "%Lf", "42"},         {btInt, "%", "42"},
        {btInt, "%99999d", "42"},     {btDouble, "%d", "42"},       {btDouble, "%x", "42"},
        {btDouble, "%Lf", "42"},      {btInt64, "%d", "42"},        {btUInt64, "0x%08X", "42"},
        {btInt, "%p", "42"},
    };
    for (const Case& c : cases) {
        TraceCapture trace;
        std::string text = c.builtin == btDouble ? Show<double>(c.builtin, 42.0, Member("", c.format))
                                                 : Show<int64_t>(c.builtin, 42, Member("", c.format));
        EXPECT_EQ(text, c.expected) << c.format;
        EXPECT_NE(trace.Text().find(std::string("|E|Print format \"") + c.format + "\" of m_x refused"),
                  std::string::npos)
            << c.format << ": " << trace.Text();
    }
    // Each refused format is reported once per description.
    TraceCapture trace;
    CPrintFormatCache cache;
    unsigned char bytes[4] = {1, 0, 0, 0};
    CDataMember m = Member("", "%s");
    FormatBuiltin(btInt, m, bytes, cache);
    FormatBuiltin(btInt, m, bytes, cache);
    std::string text = trace.Text();
    EXPECT_EQ(text.find("|E|Print format"), text.rfind("|E|Print format"));
}

TEST(ValueText, IntegerMultipliers)
{
    EXPECT_EQ(Show<int32_t>(btInt, 7, Member("-m 10")), "70");
    EXPECT_EQ(Show<int32_t>(btInt, 7, Member("-m 0x10")), "112");
    EXPECT_EQ(Show<int32_t>(btInt, 7, Member("-m 010")), "56");
    EXPECT_EQ(Show<int16_t>(btShort, 20000, Member("-m 2")), "-25536"); // kept to 16 bits
    EXPECT_EQ(Show<uint8_t>(btUChar, 0x81, Member("-m 2", "%u")), "2");
    EXPECT_EQ(Show<int64_t>(btInt64, 3000000000LL, Member("-m 3")), "9000000000");
    EXPECT_EQ(Show<uint32_t>(btVoidPtr, 16, Member("-m 10")), "00000010"); // no multiplier
    {
        TraceCapture trace;
        EXPECT_EQ(Show<int32_t>(btInt, 7, Member("-m 10x")), "7");
        EXPECT_EQ(trace.Text().rfind("Illegal comment string\n", 0), 0u) << trace.Text();
    }
    {
        // Read once with the member, reported at every value printed with it.
        TraceCapture trace;
        CDataMember bad = Member("-m 10x");
        EXPECT_EQ(Show<int32_t>(btInt, 7, bad), "7");
        EXPECT_EQ(Show<int32_t>(btInt, 8, bad), "8");
        std::string text = trace.Text();
        size_t second = text.find("Illegal comment string\n", 1);
        EXPECT_EQ(text.rfind("Illegal comment string\n", 0), 0u) << text;
        ASSERT_NE(second, std::string::npos) << text;
        EXPECT_EQ(text.find("Illegal comment string", second + 1), std::string::npos) << text;
    }
    {
        TraceCapture trace; // an empty value would make every value 0
        EXPECT_EQ(Show<int32_t>(btInt, 7, Member("-n Speed -m")), "7");
        EXPECT_EQ(trace.Text().rfind("Illegal comment string\n", 0), 0u) << trace.Text();
    }
}

TEST(ValueText, RealMultipliersAndTheDoubleShortening)
{
    EXPECT_EQ(Show<double>(btDouble, 1500.0, Member("-m 1/1000")), "1.5");
    {
        TraceCapture trace;
        EXPECT_EQ(Show<double>(btDouble, 1500.0, Member("-m 1/0")), "1500");
        EXPECT_EQ(Show<double>(btDouble, 1500.0, Member("-m a/2")), "1500");
        EXPECT_EQ(trace.Text(), "");
    }
    {
        TraceCapture trace;
        EXPECT_EQ(Show<double>(btDouble, 3.0, Member("-m 2x")), "3");
        EXPECT_EQ(trace.Text().rfind("Illegal comment string\n", 0), 0u);
    }
    EXPECT_EQ(Show<double>(btDouble, 3.0, Member("-m 2.5")), "7.5");
    EXPECT_EQ(Show<float>(btFloat, 0.5f), "0.500000");
    EXPECT_EQ(Show<float>(btFloat, 0.1f, Member("-m 3")), "0.300000");
    EXPECT_EQ(ShortenDouble(2.5), "2.5");
    EXPECT_EQ(ShortenDouble(100.0), "100");
    EXPECT_EQ(ShortenDouble(0.1), "0.1");
    EXPECT_EQ(ShortenDouble(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(ShortenDouble(-0.0000001), "0");
    EXPECT_EQ(ShortenDouble(-2.25), "-2.25");
    EXPECT_EQ(ShortenDouble(0.0), "0");
    EXPECT_EQ(ShortenDouble(1e20), "100000000000000000000");
    EXPECT_EQ(ShortenDouble(NAN), "nan");
    EXPECT_EQ(ShortenDouble(-INFINITY), "-inf");
    EXPECT_EQ(ShortenDouble(-1e300).size(), 302u);
}

TEST(ValueText, PlcAddressForms)
{
    auto plc = [](unsigned h, unsigned l) { return FormatPlcAddress(h << 16 | l); };
    EXPECT_EQ(plc(12, 7), "01207");
    EXPECT_EQ(plc(999, 31), "99931");
    EXPECT_EQ(plc(0, 32), "");
    EXPECT_EQ(plc(10000, 5), "TIM005");
    EXPECT_EQ(plc(10000, 256), "");
    EXPECT_EQ(plc(10002, 1200), "*DM1200");
    EXPECT_EQ(plc(10002, 5199), "*DM5199");
    EXPECT_EQ(plc(10002, 5200), "");
    EXPECT_EQ(plc(2000, 3), "");
    EXPECT_EQ(FormatPlcAddress(0xFFFFFFFFu), "NA");
    // No print format and no multiplier for PLC addresses.
    EXPECT_EQ(Show<uint32_t>(btPlcBitAddr, 10000u << 16 | 5, Member("-m 10", "%d")), "TIM005");

    uint32_t v = 0;
    EXPECT_TRUE(ParsePlcAddress("01207", v));
    EXPECT_EQ(v, 12u << 16 | 7);
    EXPECT_TRUE(ParsePlcAddress("TIM255", v));
    EXPECT_EQ(v, 10000u << 16 | 255);
    EXPECT_TRUE(ParsePlcAddress("*DM0001", v));
    EXPECT_EQ(v, 10002u << 16 | 1201);
    EXPECT_TRUE(ParsePlcAddress("na", v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    for (const char* bad : {"01232", "TIM256", "tim001", "*DM4000", "0120", "012070", "TIM01x", ""})
        EXPECT_FALSE(ParsePlcAddress(bad, v)) << bad;
}

TEST(ValueText, TextMembers)
{
    unsigned char text[8] = {'A', 'B', 0, 'C', 0, 0, 0, 0};
    EXPECT_EQ(FormatText(text, 8), "\"AB\"");
    unsigned char full[4] = {'W', 'X', 'Y', 'Z'}; // no zero: never beyond the array
    EXPECT_EQ(FormatText(full, 4), "\"WXYZ\"");
    EXPECT_TRUE(ParseText(text, 8, "\"Hello\""));
    EXPECT_EQ(FormatText(text, 8), "\"Hello\"");
    EXPECT_TRUE(ParseText(text, 8, "abc"));
    EXPECT_EQ(memcmp(text, "abc\0\0\0\0\0", 8), 0);
    EXPECT_FALSE(ParseText(text, 8, "\"open"));
    EXPECT_FALSE(ParseText(text, 8, "12345678")); // no room for the zero

    // Garbage in a text never breaks the one-line form: it ends at a line break.
    unsigned char broken[16] = {'M', 'I', 'L', 'L', '\r', '\n', 'm', '_', 'x', '=', '9', 0};
    EXPECT_EQ(FormatText(broken, 16), "\"MILL\"");
    broken[4] = '\n';
    EXPECT_EQ(FormatText(broken, 16), "\"MILL\"");
    unsigned char high[4] = {0xB0, 0xA1, 0x01, 0}; // other bytes pass as they are
    EXPECT_EQ(FormatText(high, 4), "\"\xB0\xA1\x01\"");
}

TEST(ValueText, ParseStoresByTheTypesRules)
{
    unsigned char b[8] = {0};
    auto load32 = [&] { uint32_t v; memcpy(&v, b, 4); return v; };
    EXPECT_TRUE(ParseBuiltin(btInt, Member("-m 10"), b, "70"));
    EXPECT_EQ(load32(), 7u);
    EXPECT_TRUE(ParseBuiltin(btInt, Member(), b, "0x10 "));
    EXPECT_EQ(load32(), 16u);
    EXPECT_FALSE(ParseBuiltin(btInt, Member(), b, "12ab"));
    EXPECT_EQ(load32(), 16u); // nothing stored
    EXPECT_TRUE(ParseBuiltin(btVoidPtr, Member(), b, "1A"));
    EXPECT_EQ(load32(), 0x1Au);
    EXPECT_TRUE(ParseBuiltin(btBool, Member(), b, "1"));
    EXPECT_EQ(b[0], 1);
    EXPECT_FALSE(ParseBuiltin(btBool, Member(), b, "2"));
    EXPECT_TRUE(ParseBuiltin(btInt64, Member(), b, "10")); // always hexadecimal
    uint64_t v64;
    memcpy(&v64, b, 8);
    EXPECT_EQ(v64, 16u);
    EXPECT_TRUE(ParseBuiltin(btDouble, Member("-m 1/1000"), b, "1.5"));
    double d;
    memcpy(&d, b, 8);
    EXPECT_DOUBLE_EQ(d, 1500.0);
    EXPECT_TRUE(ParseBuiltin(btPlcBitAddr, Member(), b, "TIM005"));
    EXPECT_EQ(load32(), 10000u << 16 | 5);
    EXPECT_FALSE(ParseBuiltin(btInt, Member("-m 0"), b, "5")); // no division by zero
}

TEST(ValueText, ElementNameFormats)
{
    CPrintFormat f = CPrintFormat::Check("Axis %d", CPrintFormat::elementIndex);
    ASSERT_TRUE(f.valid);
    EXPECT_EQ(FormatElementName(f, 3), "Axis 3");
    EXPECT_FALSE(CPrintFormat::Check("Axis %s", CPrintFormat::elementIndex).valid);
    EXPECT_FALSE(CPrintFormat::Check("%d-%d", CPrintFormat::elementIndex).valid);
    EXPECT_FALSE(CPrintFormat::Check("%.2f", CPrintFormat::elementIndex).valid);
}
