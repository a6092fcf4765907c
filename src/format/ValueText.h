// Text forms of values, from which the built-in types (BuiltinTypes.h) make
// their printers and parsers: integers and reals through checked print
// formats, shortened doubles, PLC bit addresses, multipliers and text members.
// Print formats come from format files that anyone can edit, so a format is
// used only when it holds exactly one conversion that fits the value; it is
// rebuilt with a fixed length modifier so that "%I64d", "%lld" and "%ld"
// print the same on every platform.
#pragma once
#include <cstdint>
#include <map>
#include <string>

struct CMultiplier;

// A print format checked against the class of value it is meant for.
struct CPrintFormat {
    enum ValueClass { integerValue, integer64Value, realValue, elementIndex };

    bool valid = false;
    std::string reason;    // why it was refused
    std::string prefix;    // literal text before the conversion ("%%" kept)
    std::string spec;      // flags, width, precision
    int lengthBits = 0;    // 16 (h), 32 (none, l), 64 (ll, I64); reals: 0
    char conversion = 0;   // d i u o x X c, or f e g E G
    std::string suffix;    // literal text after the conversion

    static CPrintFormat Check(const std::string& format, ValueClass valueClass);
};

// Checked formats of one description, each rejected one reported once.
class CPrintFormatCache {
public:
    CPrintFormatCache() = default;
    CPrintFormatCache(const CPrintFormatCache& other) : m_formats(other.m_formats) {}
    CPrintFormatCache& operator=(const CPrintFormatCache& other)
    {
        m_formats = other.m_formats;
        ForgetRecent();
        return *this;
    }
    // The checked format; a refused one writes one trace line naming it and
    // owner (the member) the first time.
    const CPrintFormat& Get(const std::string& format, CPrintFormat::ValueClass valueClass, const std::string& owner);
    void Clear()
    {
        m_formats.clear();
        ForgetRecent();
    }

private:
    void Remember(const std::string& format, CPrintFormat::ValueClass valueClass, const CPrintFormat& checked)
    {
        m_recent[m_nextRecent] = {&format, valueClass, &checked};
        m_nextRecent = (m_nextRecent + 1) % kRecent;
    }
    void ForgetRecent()
    {
        for (Recent& r : m_recent)
            r = Recent();
        m_nextRecent = 0;
    }

    std::map<std::pair<std::string, int>, CPrintFormat> m_formats;
    // The entries asked for last (entries of a map stay where they are):
    // the members of a block alternate between a few formats.
    struct Recent {
        const std::string* format = nullptr; // the entry's key
        CPrintFormat::ValueClass valueClass = CPrintFormat::integerValue;
        const CPrintFormat* checked = nullptr;
    };
    static const size_t kRecent = 4;
    Recent m_recent[kRecent];
    size_t m_nextRecent = 0;
};

namespace value_text {
const size_t kMaxText = 63;        // longest value text
const size_t kMaxDoubleText = 639; // longest value text of a double

// The little-endian integer of bytes (1..8) at p, and its store.
inline uint64_t LoadLittleEndian(const unsigned char* p, int bytes)
{
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}
inline void StoreLittleEndian(unsigned char* p, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}
// v cut to width bits, then sign- or zero-extended to 64.
inline uint64_t ExtendBits(uint64_t v, int width, bool isSigned)
{
    if (width >= 64)
        return v;
    uint64_t mask = (uint64_t(1) << width) - 1;
    v &= mask;
    if (isSigned && (v >> (width - 1)) & 1)
        v |= ~mask;
    return v;
}

// Integer value of a type's bytes, sign- or zero-extended per the type.
struct IntegerValue {
    uint64_t bits;  // the value, extended to 64 bits
    bool isSigned;  // of the type
    int width;      // of the type, in bits
};

// Formats an integer with a checked format (the conversion's length decides
// how the value is cut and extended, as a C library of 32-bit longs would).
std::string FormatInteger(const CPrintFormat& format, const IntegerValue& value);
// The same into out, whose room is kept for the next value.
void FormatIntegerTo(std::string& out, const CPrintFormat& format, const IntegerValue& value);
// Formats a real with a checked real format.
std::string FormatReal(const CPrintFormat& format, double value, size_t limit);
// "%f", then up to 16 decimals when six are not exact, trailing zeros dropped.
std::string ShortenDouble(double value);
void ShortenDoubleTo(std::string& out, double value);
// The PLC bit address forms; empty text for values that have none.
std::string FormatPlcAddress(uint32_t value);
// Parses "hhhll", "TIMnnn", "*DMnnnn", "NA"; false when the text fits none.
bool ParsePlcAddress(const std::string& text, uint32_t& value);

// The factors of a member's "-m" option. An illegal one writes
// "Illegal comment string\n" (at each use) and gives 1.
long IntegerMultiplier(const CMultiplier& multiplier);
double RealMultiplier(const CMultiplier& multiplier);

// Text members: the characters up to the first zero byte, in double quotes.
std::string FormatText(const unsigned char* address, int count);
bool ParseText(unsigned char* address, int count, const std::string& text);

// An array element's display name from the member's "-F" format.
std::string FormatElementName(const CPrintFormat& format, int index);
} // namespace value_text
