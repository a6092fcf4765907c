#include "format/ValueText.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <charconv>

#include "logs/TraceLog.h"
#include "platform/StringUtil.h"
#include "format/AnnotationOptions.h"

namespace {
// One formatter for every platform: the mingw runtime's own printf (C99
// forms, two-digit exponents) rather than the system's.
std::string Print(size_t limit, const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int n = FormatInto(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        return std::string();
    // A "%c" of a zero byte ends the text there, as a C string would.
    std::string text(buffer, strnlen(buffer, sizeof buffer - 1));
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

const int kMaxWidth = 700; // flags beyond this only make long blanks

} // namespace

namespace {
// Moves i over the flags, width and precision of a conversion. The refusal,
// or nullptr when they are usable.
const char* ReadFlagsWidthPrecision(const std::string& format, size_t& i)
{
    while (i < format.size() && strchr("-+ #0", format[i]))
        ++i;
    int width = 0, precision = 0;
    for (; i < format.size() && format[i] >= '0' && format[i] <= '9'; ++i)
        width = width > kMaxWidth ? width : width * 10 + (format[i] - '0');
    if (i < format.size() && format[i] == '.') {
        for (++i; i < format.size() && format[i] >= '0' && format[i] <= '9'; ++i)
            precision = precision > kMaxWidth ? precision : precision * 10 + (format[i] - '0');
    }
    if (i < format.size() && format[i] == '*')
        return "'*' takes an argument the value does not give";
    if (width > kMaxWidth || precision > kMaxWidth)
        return "width or precision too large";
    return nullptr;
}

// Moves i over the length modifier: bits is what it says (32 without one)
// and given whether there is one. The refusal, or nullptr.
const char* ReadLengthModifier(const std::string& format, size_t& i, int& bits, bool& given)
{
    bits = 32;
    given = true;
    if (format.compare(i, 3, "I64") == 0) {
        bits = 64;
        i += 3;
    } else if (format.compare(i, 2, "ll") == 0) {
        bits = 64;
        i += 2;
    } else if (format.compare(i, 2, "hh") == 0) {
        return "length hh is not supported";
    } else if (i < format.size() && format[i] == 'h') {
        bits = 16;
        ++i;
    } else if (i < format.size() && format[i] == 'l') {
        ++i; // a long is 32 bits on the machines the formats are written for
    } else if (i < format.size() && strchr("LjztqI", format[i])) {
        return "unsupported length modifier";
    } else {
        given = false;
    }
    return nullptr;
}

// Whether conversion conv with its length fits the class of value; reals
// take no length (bits 0). The refusal, or nullptr.
const char* CheckConversion(char conv, bool lengthGiven, CPrintFormat::ValueClass valueClass, int& bits)
{
    bool integerConv = strchr("diouxX", conv) != nullptr;
    bool realConv = strchr("feEgG", conv) != nullptr;
    if (conv == 'c') {
        if (lengthGiven || valueClass == CPrintFormat::integer64Value)
            return "%c takes one character";
        integerConv = true;
    }
    if (valueClass == CPrintFormat::realValue) {
        if (!realConv)
            return "the value is a real number";
        if (lengthGiven && bits != 32)
            return "unsupported length modifier for a real";
        bits = 0;
    } else {
        if (!integerConv)
            return "the value is an integer";
        if (valueClass == CPrintFormat::integer64Value && bits != 64)
            return "a 64-bit value needs ll or I64";
    }
    return nullptr;
}
} // namespace

CPrintFormat CPrintFormat::Check(const std::string& format, ValueClass valueClass)
{
    CPrintFormat f;
    auto refuse = [&](const char* why) {
        f.valid = false;
        f.reason = why;
        return f;
    };
    int conversions = 0;
    size_t i = 0;
    std::string literal;
    while (i < format.size()) {
        char c = format[i];
        if (c != '%') {
            literal += c;
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            literal += "%%";
            i += 2;
            continue;
        }
        if (++conversions > 1)
            return refuse("more than one conversion");
        f.prefix = literal;
        literal.clear();
        size_t start = ++i;
        if (const char* why = ReadFlagsWidthPrecision(format, i))
            return refuse(why);
        f.spec = format.substr(start, i - start);
        int bits;
        bool lengthGiven;
        if (const char* why = ReadLengthModifier(format, i, bits, lengthGiven))
            return refuse(why);
        if (i >= format.size())
            return refuse("conversion without its letter");
        char conv = format[i++];
        if (const char* why = CheckConversion(conv, lengthGiven, valueClass, bits))
            return refuse(why);
        f.lengthBits = bits;
        f.conversion = conv;
    }
    if (conversions == 0)
        return refuse("no conversion");
    f.suffix = literal;
    f.valid = true;
    return f;
}

const CPrintFormat& CPrintFormatCache::Get(const std::string& format, CPrintFormat::ValueClass valueClass,
                                           const std::string& owner)
{
    // Members of one type share their format: the last few answer most calls.
    for (const Recent& r : m_recent)
        if (r.checked && r.valueClass == valueClass && *r.format == format)
            return *r.checked;
    auto key = std::make_pair(format, static_cast<int>(valueClass));
    auto found = m_formats.find(key);
    if (found != m_formats.end()) {
        Remember(found->first.first, valueClass, found->second);
        return found->second;
    }
    CPrintFormat checked = CPrintFormat::Check(format, valueClass);
    if (!checked.valid)
        TraceMessage("|E|Print format \"%s\" of %s refused (%s); the default form is used\n", format.c_str(),
                     owner.c_str(), checked.reason.c_str());
    auto added = m_formats.emplace(key, checked).first;
    Remember(added->first.first, valueClass, added->second);
    return added->second;
}

namespace value_text {

namespace {
// A spec of no flag or '0' and a width (at most 64): whether it is one, and
// what it says.
bool ReadPlainSpec(const std::string& spec, bool& zeroPad, size_t& width)
{
    zeroPad = false;
    size_t i = 0;
    if (i < spec.size() && spec[i] == '0') {
        zeroPad = true;
        ++i;
    }
    width = 0;
    for (; i < spec.size(); ++i) {
        if (spec[i] < '0' || spec[i] > '9' || width > 64)
            return false;
        width = width * 10 + static_cast<size_t>(spec[i] - '0');
    }
    return true;
}

// Literal text that printf copies as it is: no '%' (a "%%" kept from the
// format) and no zero byte.
bool HasPlainLiterals(const CPrintFormat& format)
{
    for (const std::string* literal : {&format.prefix, &format.suffix})
        for (char c : *literal)
            if (c == '%' || c == '\0')
                return false;
    return true;
}

// The digits of magnitude in base 10 or 16, lowest first; their count.
size_t WriteDigitsReversed(uint64_t magnitude, int base, bool lowerCase, char (&digits)[24])
{
    size_t n = 0;
    // Constant divisors: a division by a variable base costs tens of cycles a digit.
    if (base == 10) {
        do {
            digits[n++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
    } else {
        const char* set = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
        do {
            digits[n++] = set[magnitude & 15];
            magnitude >>= 4;
        } while (magnitude != 0);
    }
    return n;
}

// The common integer forms ("%d", "%u", "0x%08X", "%5d" ...) written without
// printf, character for character as printf writes them: flags none or '0',
// a width, no precision, literal text without '%' or zero bytes. False for
// any other form.
bool FormatIntegerDirect(const CPrintFormat& format, uint64_t v, bool signedConv, std::string& out)
{
    const char conv = format.conversion;
    int base;
    if (conv == 'd' || conv == 'i' || conv == 'u')
        base = 10;
    else if (conv == 'x' || conv == 'X')
        base = 16;
    else
        return false;
    bool zeroPad;
    size_t width;
    if (!ReadPlainSpec(format.spec, zeroPad, width) || !HasPlainLiterals(format))
        return false;
    bool negative = signedConv && static_cast<int64_t>(v) < 0;
    char digits[24];
    size_t n = WriteDigitsReversed(negative ? 0 - v : v, base, conv == 'x', digits);
    size_t length = n + (negative ? 1 : 0);
    size_t pad = width > length ? width - length : 0;
    size_t total = format.prefix.size() + pad + length + format.suffix.size();
    if (total <= kMaxText) {
        // The usual short text: put together in a buffer, stored at once.
        char text[kMaxText];
        char* p = text;
        memcpy(p, format.prefix.data(), format.prefix.size());
        p += format.prefix.size();
        if (!zeroPad)
            p = static_cast<char*>(memset(p, ' ', pad)) + pad;
        if (negative)
            *p++ = '-';
        if (zeroPad)
            p = static_cast<char*>(memset(p, '0', pad)) + pad;
        while (n > 0)
            *p++ = digits[--n];
        memcpy(p, format.suffix.data(), format.suffix.size());
        p += format.suffix.size();
        out.assign(text, static_cast<size_t>(p - text));
        return true;
    }
    out.reserve(total);
    out = format.prefix;
    if (!zeroPad)
        out.append(pad, ' ');
    if (negative)
        out.push_back('-');
    if (zeroPad)
        out.append(pad, '0');
    while (n > 0)
        out.push_back(digits[--n]);
    out += format.suffix;
    if (out.size() > kMaxText)
        out.resize(kMaxText);
    return true;
}

// FormatInteger through printf, for the forms FormatIntegerDirect leaves.
std::string FormatIntegerPrinted(const CPrintFormat& format, const IntegerValue& value)
{
    std::string pattern = format.prefix + "%" + format.spec;
    if (format.conversion == 'c') {
        pattern += 'c' + format.suffix;
        return Print(kMaxText, pattern.c_str(), static_cast<int>(static_cast<unsigned char>(value.bits)));
    }
    bool signedConv = format.conversion == 'd' || format.conversion == 'i';
    uint64_t v = ExtendBits(value.bits, format.lengthBits, signedConv);
    pattern += "ll";
    pattern += format.conversion;
    pattern += format.suffix;
    if (signedConv)
        return Print(kMaxText, pattern.c_str(), static_cast<long long>(v));
    return Print(kMaxText, pattern.c_str(), static_cast<unsigned long long>(v));
}
} // namespace

std::string FormatInteger(const CPrintFormat& format, const IntegerValue& value)
{
    std::string text;
    FormatIntegerTo(text, format, value);
    return text;
}

void FormatIntegerTo(std::string& out, const CPrintFormat& format, const IntegerValue& value)
{
    if (format.conversion != 'c') {
        bool signedConv = format.conversion == 'd' || format.conversion == 'i';
        if (FormatIntegerDirect(format, ExtendBits(value.bits, format.lengthBits, signedConv), signedConv, out))
            return;
    }
    out = FormatIntegerPrinted(format, value);
}

std::string FormatReal(const CPrintFormat& format, double value, size_t limit)
{
    if (!std::isfinite(value)) // the runtimes spell these differently
        return std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
    std::string pattern = format.prefix + "%" + format.spec + format.conversion + format.suffix;
    return Print(limit, pattern.c_str(), value);
}

namespace {
// "%.<precision>f" of a finite value: exact, as printf writes it. Written in
// buffer (309 integer digits, sign, point and 16 decimals at most); printf's
// text, kept in spare, where to_chars cannot.
std::string_view FixedText(double value, int precision, char (&buffer)[400], std::string& spare)
{
    std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    if (r.ec == std::errc())
        return std::string_view(buffer, static_cast<size_t>(r.ptr - buffer));
    spare = Print(kMaxDoubleText, "%.*f", precision, value);
    return spare;
}
} // namespace

std::string ShortenDouble(double value)
{
    std::string text;
    ShortenDoubleTo(text, value);
    return text;
}

void ShortenDoubleTo(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        out = std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
        return;
    }
    // Worked on in a buffer: one text is made, at the end.
    char buffer[400];
    std::string spare;
    std::string_view text = FixedText(value, 6, buffer, spare);
    size_t dot = text.find('.');
    if (dot != std::string_view::npos && text.size() - dot - 1 >= 2 && text.substr(text.size() - 2) != "00")
        text = FixedText(value, 16, buffer, spare);
    if (text.find_first_of("123456789") == std::string_view::npos && !text.empty() && text[0] == '-')
        text.remove_prefix(1);
    if (text.find('.') != std::string_view::npos) {
        size_t last = text.find_last_not_of('0');
        text = text.substr(0, last + 1);
        if (!text.empty() && text.back() == '.')
            text.remove_suffix(1);
    }
    out.assign(text.data(), text.size());
}

std::string FormatPlcAddress(uint32_t value)
{
    unsigned h = value >> 16, l = value & 0xFFFF;
    if (l <= 31 && h <= 999)
        return Print(kMaxText, "%03d%02d", static_cast<int>(h), static_cast<int>(l));
    if (h == 10000 && l <= 255)
        return Print(kMaxText, "TIM%03d", static_cast<int>(l));
    if (h == 10002 && l >= 1200 && l <= 5199)
        return Print(kMaxText, "*DM%04d", static_cast<int>(l));
    if (value == 0xFFFFFFFFu)
        return "NA";
    return std::string();
}

bool ParsePlcAddress(const std::string& text, uint32_t& value)
{
    auto digits = [&](size_t from, size_t n) {
        if (text.size() != from + n)
            return -1;
        int v = 0;
        for (size_t i = from; i < from + n; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return -1;
            v = v * 10 + (text[i] - '0');
        }
        return v;
    };
    if (text.size() == 2 && (text[0] == 'N' || text[0] == 'n') && (text[1] == 'A' || text[1] == 'a')) {
        value = 0xFFFFFFFFu;
        return true;
    }
    if (text.compare(0, 3, "TIM") == 0) {
        int n = digits(3, 3);
        if (n < 0 || n >= 256)
            return false;
        value = 10000u << 16 | static_cast<uint32_t>(n);
        return true;
    }
    if (text.compare(0, 3, "*DM") == 0) {
        int n = digits(3, 4);
        if (n < 0 || n >= 4000)
            return false;
        value = 10002u << 16 | static_cast<uint32_t>(n + 1200);
        return true;
    }
    int all = digits(0, 5);
    if (all < 0)
        return false;
    int word = all / 100, bit = all % 100;
    if (bit >= 32)
        return false;
    value = static_cast<uint32_t>(word) << 16 | static_cast<uint32_t>(bit);
    return true;
}

long IntegerMultiplier(const CMultiplier& multiplier)
{
    if (multiplier.integerIllegal)
        AppendTraceLog("Illegal comment string\n");
    return multiplier.integer;
}

double RealMultiplier(const CMultiplier& multiplier)
{
    if (multiplier.realIllegal)
        AppendTraceLog("Illegal comment string\n");
    return multiplier.real;
}

std::string FormatText(const unsigned char* address, int count)
{
    const char* p = reinterpret_cast<const char*>(address);
    size_t n = strnlen(p, static_cast<size_t>(count > 0 ? count : 0));
    // A line break would split the listing's line, and the rest of the text
    // would read back as an entry of its own (m_x = 9 carried into the new
    // release): the text ends there, as at its zero.
    for (size_t i = 0; i < n; ++i) {
        if (p[i] == '\r' || p[i] == '\n') {
            n = i;
            break;
        }
    }
    return "\"" + std::string(p, n) + "\"";
}

bool ParseText(unsigned char* address, int count, const std::string& text)
{
    std::string body = text;
    if (!body.empty() && body[0] == '"') {
        if (body.size() < 2 || body.back() != '"')
            return false;
        body = body.substr(1, body.size() - 2);
    }
    if (body.size() >= static_cast<size_t>(count))
        return false;
    memset(address, 0, static_cast<size_t>(count));
    memcpy(address, body.data(), body.size());
    return true;
}

std::string FormatElementName(const CPrintFormat& format, int index)
{
    return FormatInteger(format, IntegerValue{static_cast<uint64_t>(static_cast<int64_t>(index)), true, 32});
}

} // namespace value_text
