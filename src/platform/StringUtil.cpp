#include "platform/StringUtil.h"

#include <cstdio>
#include <cstring>
#include <vector>

int FormatInto(char* buffer, size_t size, const char* format, va_list args)
{
#ifdef _WIN32
    return __mingw_vsnprintf(buffer, size, format, args);
#else
    return vsnprintf(buffer, size, format, args);
#endif
}

std::string StrPrintfV(const char* format, va_list args)
{
    // Most texts fit a small buffer: one formatting pass instead of two.
    char small[256];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n <= 0)
        return std::string();
    if (static_cast<size_t>(n) < sizeof small)
        return std::string(small, static_cast<size_t>(n));
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    vsnprintf(buf.data(), buf.size(), format, args);
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::string StrPrintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string s = StrPrintfV(format, args);
    va_end(args);
    return s;
}

bool CopyFits(char* dst, size_t cap, const std::string& src)
{
    if (cap == 0)
        return false;
    if (src.size() + 1 > cap || src.find('\0') != std::string::npos) {
        dst[0] = '\0';
        return false;
    }
    memcpy(dst, src.c_str(), src.size() + 1);
    return true;
}

bool EndsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string TrimRight(const std::string& s)
{
    size_t end = s.size();
    while (end > 0 && IsBlank(s[end - 1]))
        --end;
    return s.substr(0, end);
}

std::string Trim(const std::string& s)
{
    size_t start = 0;
    while (start < s.size() && IsBlank(s[start]))
        ++start;
    return TrimRight(s.substr(start));
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}
