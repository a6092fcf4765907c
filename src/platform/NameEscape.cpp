#include "platform/NameEscape.h"

namespace {
int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

size_t NameEscapeAt(const std::string& text, size_t at, unsigned long* codePoint)
{
    // A lower-cased path (compared as the file system does) reads alike.
    if (at + 3 > text.size() || text[at] != '<' || (text[at + 1] != 'U' && text[at + 1] != 'u') || text[at + 2] != '+')
        return 0;
    unsigned long value = 0;
    size_t i = at + 3, digits = 0;
    for (; i < text.size() && digits <= 6 && HexValue(text[i]) >= 0; ++i, ++digits)
        value = value * 16 + static_cast<unsigned long>(HexValue(text[i]));
    if (digits < 4 || digits > 6 || i >= text.size() || text[i] != '>' || value > 0x10FFFF)
        return 0;
    *codePoint = value;
    return i + 1 - at;
}

size_t NameCharacterEscapeAt(const std::string& text, size_t at)
{
    unsigned long codePoint = 0;
    size_t size = NameEscapeAt(text, at, &codePoint);
    return codePoint >= 0x80 ? size : 0;
}
