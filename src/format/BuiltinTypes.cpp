#include "format/BuiltinTypes.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "format/DataMember.h"
#include "format/ValueText.h"

using namespace value_text;

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The text ends at its end or at white space.
bool EndsCleanly(const char* end) { return *end == '\0' || IsBlank(*end); }

// The checked default formats, by row.
const CPrintFormat& DefaultFormat(const BuiltinTypeRow& row)
{
    static const std::vector<CPrintFormat> checked = [] {
        std::vector<CPrintFormat> formats(btCount);
        for (const BuiltinTypeRow& r : kBuiltinTypes)
            if (r.defaultFormat)
                formats[r.type] = CPrintFormat::Check(r.defaultFormat, r.size == 8 ? CPrintFormat::integer64Value
                                                                                    : CPrintFormat::integerValue);
        return formats;
    }();
    return checked[row.type];
}

// The row's integer at address, as stored.
IntegerValue StoredInteger(const BuiltinTypeRow& row, const unsigned char* address)
{
    return IntegerValue{LoadLittleEndian(address, row.size), row.isSigned, row.size * 8};
}

// value with the member's print format when it has a usable one.
bool PrintWithMemberFormat(std::string& out, const CDataMember& member, const IntegerValue& value,
                           CPrintFormatCache& formats)
{
    if (!member.m_strPrintFormat)
        return false;
    // A 64-bit value needs a 64-bit conversion, or its high half is lost.
    CPrintFormat::ValueClass valueClass = value.width == 64 ? CPrintFormat::integer64Value : CPrintFormat::integerValue;
    const CPrintFormat& f = formats.Get(*member.m_strPrintFormat, valueClass, member.m_strName);
    if (!f.valid)
        return false;
    FormatIntegerTo(out, f, value);
    return true;
}

void PrintIntegerValue(std::string& out, const BuiltinTypeRow& row, const CDataMember& member, IntegerValue value,
                       CPrintFormatCache& formats)
{
    value.bits = ExtendBits(value.bits, value.width, value.isSigned);
    if (!PrintWithMemberFormat(out, member, value, formats))
        FormatIntegerTo(out, DefaultFormat(row), value);
}

// Integers and characters: times the multiplier, wrapped in the type's width
// as the type would.
void PrintInteger(std::string& out, const BuiltinTypeRow& row, const CDataMember& member,
                  const unsigned char* address, CPrintFormatCache& formats)
{
    IntegerValue value = StoredInteger(row, address);
    uint64_t product = ExtendBits(value.bits, value.width, value.isSigned) *
                       static_cast<uint64_t>(static_cast<int64_t>(IntegerMultiplier(member.Annotation().multiplier)));
    value.bits = product;
    PrintIntegerValue(out, row, member, value, formats);
}

// Pointers: the address as it is, without multiplier.
void PrintPointer(std::string& out, const BuiltinTypeRow& row, const CDataMember& member,
                  const unsigned char* address, CPrintFormatCache& formats)
{
    PrintIntegerValue(out, row, member, StoredInteger(row, address), formats);
}

// "1" or "0"; with a print format, the byte.
void PrintBool(std::string& out, const BuiltinTypeRow& row, const CDataMember& member, const unsigned char* address,
               CPrintFormatCache& formats)
{
    IntegerValue value = StoredInteger(row, address);
    value.bits &= 0xFF;
    value.bits = ExtendBits(value.bits, value.width, value.isSigned);
    if (!PrintWithMemberFormat(out, member, value, formats))
        out = value.bits ? "1" : "0";
}

// A real with the member's print format, or the type's own form.
void PrintRealValue(std::string& out, const CDataMember& member, double value, size_t limit,
                    CPrintFormatCache& formats, bool shortened)
{
    if (member.m_strPrintFormat) {
        const CPrintFormat& f = formats.Get(*member.m_strPrintFormat, CPrintFormat::realValue, member.m_strName);
        if (f.valid) {
            out = FormatReal(f, value, limit);
            return;
        }
    }
    if (shortened)
        ShortenDoubleTo(out, value);
    else
        out = FormatReal(CPrintFormat::Check("%f", CPrintFormat::realValue), value, limit);
}

// Doubles: shortened to the decimals that are exact.
void PrintDouble(std::string& out, const BuiltinTypeRow&, const CDataMember& member, const unsigned char* address,
                 CPrintFormatCache& formats)
{
    uint64_t bits = LoadLittleEndian(address, 8);
    double value;
    memcpy(&value, &bits, sizeof value);
    value *= RealMultiplier(member.Annotation().multiplier);
    PrintRealValue(out, member, value, kMaxDoubleText, formats, true);
}

// Floats: multiplied in float, printed "%f".
void PrintFloat(std::string& out, const BuiltinTypeRow&, const CDataMember& member, const unsigned char* address,
                CPrintFormatCache& formats)
{
    uint32_t bits = static_cast<uint32_t>(LoadLittleEndian(address, 4));
    float f;
    memcpy(&f, &bits, sizeof f);
    double value = static_cast<double>(static_cast<float>(f * RealMultiplier(member.Annotation().multiplier)));
    PrintRealValue(out, member, value, kMaxText, formats, false);
}

void PrintPlcAddress(std::string& out, const BuiltinTypeRow&, const CDataMember&, const unsigned char* address,
                     CPrintFormatCache&)
{
    out = FormatPlcAddress(static_cast<uint32_t>(LoadLittleEndian(address, 4)));
}

// Hexadecimal, with or without "0x"; at most 32 bits.
bool ParsePointer(const BuiltinTypeRow& row, const CDataMember&, unsigned char* address, const std::string& text)
{
    std::string hex = (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0) ? text : "0X" + text;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = strtoull(hex.c_str(), &end, 16);
    if (end == hex.c_str() + 2 || !EndsCleanly(end) || v > 0xFFFFFFFFull)
        return false;
    StoreLittleEndian(address, v, row.size);
    return true;
}

bool ParseBool(const BuiltinTypeRow&, const CDataMember&, unsigned char* address, const std::string& text)
{
    if ((text[0] != '0' && text[0] != '1') || !EndsCleanly(text.c_str() + 1))
        return false;
    address[0] = static_cast<unsigned char>(text[0] - '0');
    return true;
}

bool ParsePlcBitAddress(const BuiltinTypeRow& row, const CDataMember&, unsigned char* address,
                        const std::string& text)
{
    uint32_t v = 0;
    if (!ParsePlcAddress(text, v))
        return false;
    StoreLittleEndian(address, v, row.size);
    return true;
}

// Divided by the multiplier, stored as a double or a float by the row's size.
bool ParseReal(const BuiltinTypeRow& row, const CDataMember& member, unsigned char* address, const std::string& text)
{
    const char* s = text.c_str();
    char* end = nullptr;
    double v = strtod(s, &end);
    double m = RealMultiplier(member.Annotation().multiplier);
    if (end == s || !EndsCleanly(end) || m == 0.0)
        return false;
    v /= m;
    if (row.size == 8) {
        uint64_t bits;
        memcpy(&bits, &v, sizeof bits);
        StoreLittleEndian(address, bits, 8);
    } else {
        float f = static_cast<float>(v);
        uint32_t bits;
        memcpy(&bits, &f, sizeof bits);
        StoreLittleEndian(address, bits, 4);
    }
    return true;
}

// 64-bit integers: always hexadecimal, with or without its prefix.
bool ParseInteger64(const BuiltinTypeRow& row, const CDataMember& member, unsigned char* address,
                    const std::string& text)
{
    const char* s = text.c_str();
    char* end = nullptr;
    unsigned long long v = strtoull(s, &end, 16);
    long m = IntegerMultiplier(member.Annotation().multiplier);
    if (end == s || !EndsCleanly(end) || m == 0)
        return false;
    // The lowest value over -1 wraps as the type would; dividing it would trap.
    int64_t stored = !row.isSigned ? static_cast<int64_t>(v / static_cast<unsigned long long>(m))
                     : m == -1     ? static_cast<int64_t>(0 - v)
                                   : static_cast<int64_t>(v) / m;
    StoreLittleEndian(address, static_cast<uint64_t>(stored), 8);
    return true;
}

// Integers up to 32 bits: any C base, held to the 32-bit range, divided by
// the multiplier and cut to the type's bytes.
bool ParseInteger(const BuiltinTypeRow& row, const CDataMember& member, unsigned char* address,
                  const std::string& text)
{
    const char* s = text.c_str();
    char* end = nullptr;
    long long v = strtoll(s, &end, 0);
    long m = IntegerMultiplier(member.Annotation().multiplier);
    if (end == s || !EndsCleanly(end) || m == 0)
        return false;
    if (v > INT32_MAX)
        v = INT32_MAX;
    if (v < INT32_MIN)
        v = INT32_MIN;
    StoreLittleEndian(address, static_cast<uint64_t>(v / m), row.size);
    return true;
}
} // namespace

// The sizes are those of the 32-bit program that writes the data files.
extern const BuiltinTypeRow kBuiltinTypes[btCount];
constexpr BuiltinTypeRow kBuiltinTypes[btCount] = {
    {btVoidPtr, "void*", 4, 4, kindInteger, false, "%08X", PrintPointer, ParsePointer},
    {btBool, "bool", 1, 1, kindBool, false, nullptr, PrintBool, ParseBool},
    {btChar, "char", 1, 1, kindInteger, true, "%c", PrintInteger, ParseInteger},
    {btUChar, "unsigned char", 1, 1, kindInteger, false, "%c", PrintInteger, ParseInteger},
    {btDouble, "double", 8, 8, kindReal, true, nullptr, PrintDouble, ParseReal},
    {btFloat, "float", 4, 4, kindReal, true, nullptr, PrintFloat, ParseReal},
    {btInt, "int", 4, 4, kindInteger, true, "%d", PrintInteger, ParseInteger},
    {btUInt, "unsigned int", 4, 4, kindInteger, false, "%u", PrintInteger, ParseInteger},
    {btLong, "long", 4, 4, kindInteger, true, "%ld", PrintInteger, ParseInteger},
    {btULong, "unsigned long", 4, 4, kindInteger, false, "%lu", PrintInteger, ParseInteger},
    {btShort, "short", 2, 2, kindInteger, true, "%hd", PrintInteger, ParseInteger},
    {btUShort, "unsigned short", 2, 2, kindInteger, false, "%hu", PrintInteger, ParseInteger},
    {btInt64, "__int64", 8, 8, kindInteger, true, "%I64d", PrintInteger, ParseInteger64},
    {btUInt64, "unsigned __int64", 8, 8, kindInteger, false, "%I64u", PrintInteger, ParseInteger64},
    {btPlcBitAddr, "plc_bit_addr_t", 4, 4, kindPlcBitAddr, false, nullptr, PrintPlcAddress, ParsePlcBitAddress},
};

namespace {
// A row missing or out of place would give one type another's facts.
constexpr bool RowsInOrder()
{
    for (int i = 0; i < btCount; ++i)
        if (kBuiltinTypes[i].type != i || !kBuiltinTypes[i].name || !kBuiltinTypes[i].print ||
            !kBuiltinTypes[i].parse)
            return false;
    return true;
}
static_assert(RowsInOrder(), "kBuiltinTypes: one row per BuiltinType, in its order");
} // namespace

namespace value_text {
std::string FormatBuiltin(int builtin, const CDataMember& member, const unsigned char* address,
                          CPrintFormatCache& formats)
{
    std::string text;
    FormatBuiltinTo(text, builtin, member, address, formats);
    return text;
}

void FormatBuiltinTo(std::string& out, int builtin, const CDataMember& member, const unsigned char* address,
                     CPrintFormatCache& formats)
{
    if (builtin < 0 || builtin >= btCount) {
        out.clear();
        return;
    }
    const BuiltinTypeRow& row = kBuiltinTypes[builtin];
    row.print(out, row, member, address, formats);
}

bool ParseBuiltin(int builtin, const CDataMember& member, unsigned char* address, const std::string& text)
{
    if (builtin < 0 || builtin >= btCount)
        return false;
    const BuiltinTypeRow& row = kBuiltinTypes[builtin];
    return row.parse(row, member, address, text);
}
} // namespace value_text
