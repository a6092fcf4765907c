#include "format/AnnotationOptions.h"

#include <climits>

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

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

bool ExtractOption(const std::string& text, char letter, std::string& value)
{
    size_t at = std::string::npos;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '-' && text[i + 1] == letter) {
            at = i + 2;
            break;
        }
    }
    if (at == std::string::npos)
        return false;
    if (at < text.size() && text[at] == '\'') {
        size_t close = text.find('\'', at + 1);
        value = text.substr(at + 1, close == std::string::npos ? std::string::npos : close - at - 1);
        return true;
    }
    size_t end = text.find('-', at);
    if (end == std::string::npos)
        end = text.size();
    while (end > at && IsBlank(text[end - 1]))
        --end;
    value = text.substr(at, end - at);
    return true;
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
