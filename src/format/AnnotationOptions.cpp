#include "format/AnnotationOptions.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The text ends at its end or at white space.
bool EndsCleanly(const char* end) { return *end == '\0' || IsBlank(*end); }

void ParseIntegerFactor(const std::string& text, CMultiplier& m)
{
    errno = 0;
    char* end = nullptr;
    long long v = strtoll(text.c_str(), &end, 0);
    // No digits at all would make every value 0: as bad as a wrong ending.
    bool noDigits = end == text.c_str();
    if (!EndsCleanly(end) || noDigits) {
        m.integerIllegal = true;
        return;
    }
    // strtol of a 32-bit long saturates.
    if (v > INT32_MAX)
        v = INT32_MAX;
    if (v < INT32_MIN)
        v = INT32_MIN;
    m.integer = static_cast<long>(v);
}

void ParseRealFactor(const std::string& text, CMultiplier& m)
{
    size_t slash = text.find('/');
    if (!text.empty() && slash != std::string::npos) {
        std::string a = text.substr(0, slash), b = text.substr(slash + 1);
        char* endA = nullptr;
        char* endB = nullptr;
        double x = strtod(a.c_str(), &endA);
        double y = strtod(b.c_str(), &endB);
        // Both parts must hold a number: an empty one would make every value 0.
        if (endA != a.c_str() && endB != b.c_str() && EndsCleanly(endA) && EndsCleanly(endB) && y != 0.0)
            m.real = x / y;
        return; // a bad fraction is 1, silently
    }
    char* end = nullptr;
    double v = strtod(text.c_str(), &end);
    if (!EndsCleanly(end) || end == text.c_str()) {
        m.realIllegal = true;
        return;
    }
    m.real = v;
}

// Reads an optionally signed decimal like %d / atoi; clamps instead of overflowing.
bool ReadInt(const char*& p, int& value)
{
    while (IsBlank(*p))
        ++p;
    const char* start = p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (*p < '0' || *p > '9') {
        p = start;
        return false;
    }
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (v <= static_cast<long long>(INT_MAX) + 1)
            v = v * 10 + (*p - '0');
    }
    if (negative)
        v = -v;
    if (v > INT_MAX)
        v = INT_MAX;
    if (v < INT_MIN)
        v = INT_MIN;
    value = static_cast<int>(v);
    return true;
}
} // namespace

namespace {
// The value of an option whose text starts at at (just after "-L").
void OptionValue(const std::string& text, size_t at, std::string& value)
{
    if (at < text.size() && text[at] == '\'') {
        size_t close = text.find('\'', at + 1);
        value.assign(text, at + 1, close == std::string::npos ? std::string::npos : close - at - 1);
        return;
    }
    size_t end = text.find('-', at);
    if (end == std::string::npos)
        end = text.size();
    while (end > at && IsBlank(text[end - 1]))
        --end;
    value.assign(text, at, end - at);
}

// The option letters the annotation knows, each with a slot below.
constexpr char kOptionLetters[] = "nuedmfFbgkr";
const size_t kOptions = sizeof kOptionLetters - 1;

struct OptionSlots {
    unsigned char of[128]; // slot + 1 of a letter; 0 for a letter no option has
    constexpr OptionSlots() : of()
    {
        for (size_t i = 0; i < kOptions; ++i)
            of[static_cast<unsigned char>(kOptionLetters[i])] = static_cast<unsigned char>(i + 1);
    }
};
constexpr OptionSlots kOptionSlots;

// Where the value of each option starts (its first "-L"), found in one pass
// over the text; npos for an option that is absent.
struct OptionPositions {
    size_t at[kOptions];
    explicit OptionPositions(const std::string& text)
    {
        for (size_t& a : at)
            a = std::string::npos;
        const char* t = text.data();
        const size_t n = text.size();
        for (const char* p = t; n > 1 && (p = static_cast<const char*>(memchr(p, '-', n - 1 - static_cast<size_t>(p - t))));
             ++p) {
            unsigned char letter = static_cast<unsigned char>(p[1]);
            unsigned slot = letter < 128 ? kOptionSlots.of[letter] : 0;
            if (slot != 0 && at[slot - 1] == std::string::npos)
                at[slot - 1] = static_cast<size_t>(p - t) + 2;
        }
    }
    bool Get(const std::string& text, char letter, std::string& value) const
    {
        unsigned char l = static_cast<unsigned char>(letter);
        size_t a = l < 128 && kOptionSlots.of[l] != 0 ? at[kOptionSlots.of[l] - 1] : std::string::npos;
        if (a == std::string::npos)
            return false;
        OptionValue(text, a, value);
        return true;
    }
};
} // namespace

bool ExtractOption(const std::string& text, char letter, std::string& value)
{
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '-' && text[i + 1] == letter) {
            OptionValue(text, i + 2, value);
            return true;
        }
    }
    return false;
}

int ClampedAtoi(const char* text)
{
    int value = 0;
    const char* p = text;
    return ReadInt(p, value) ? value : 0;
}

std::string ExpandNewlines(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out.push_back('\n');
            ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

int ScanIndexRange(const std::string& text, int& first, int& last)
{
    const char* p = text.c_str();
    if (!ReadInt(p, first))
        return 0;
    while (IsBlank(*p))
        ++p;
    if (*p != '~')
        return 1;
    ++p;
    if (!ReadInt(p, last))
        return 1;
    return 2;
}

CMultiplier ParseMultiplier(const std::string& text)
{
    CMultiplier m;
    ParseIntegerFactor(text, m);
    ParseRealFactor(text, m);
    return m;
}

CAnnotation ParseAnnotation(const std::string& text)
{
    CAnnotation a;
    const OptionPositions options(text);
    std::string value;
    if (options.Get(text, 'n', value))
        a.member.name = value;
    options.Get(text, 'u', a.member.unit);
    options.Get(text, 'e', a.member.effect);
    options.Get(text, 'd', a.member.description);
    if (options.Get(text, 'm', value))
        a.member.multiplier = ParseMultiplier(value);
    if (options.Get(text, 'f', value))
        a.printFormat = ExpandNewlines(value);
    if (options.Get(text, 'F', value))
        a.elementFormat = ExpandNewlines(value);
    if (options.Get(text, 'b', value))
        a.bText = value;
    if (options.Get(text, 'g', value))
        a.id = ClampedAtoi(value.c_str());
    if (options.Get(text, 'k', value))
        ScanIndexRange(value, a.firstIndex, a.lastIndex);
    if (options.Get(text, 'r', value))
        a.idRange = ClampedAtoi(value.c_str());
    return a;
}
