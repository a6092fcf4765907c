#include "platform/TextEncoding.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {
const char kReplacement[] = "\xEF\xBF\xBD"; // U+FFFD

bool AllAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Length of the well-formed UTF-8 sequence at text[i], or 0.
size_t Utf8SequenceAt(std::string_view text, size_t i)
{
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80)
        return 1;
    size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF; // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0)
            lo = 0xA0; // no overlong form
        if (c == 0xED)
            hi = 0x9F; // no surrogate
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0)
            lo = 0x90;
        if (c == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > text.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        unsigned char b = static_cast<unsigned char>(text[i + k]);
        if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF))
            return 0;
    }
    return n;
}

#ifdef _WIN32
// One GBK character (one or two bytes) as UTF-8, or empty when it is not GBK.
std::string Convert(std::string_view piece)
{
    wchar_t wide[4];
    int n = MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, piece.data(), static_cast<int>(piece.size()), wide, 4);
    if (n <= 0)
        return std::string();
    char out[16];
    int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, out, sizeof out, nullptr, nullptr);
    return m > 0 ? std::string(out, static_cast<size_t>(m)) : std::string();
}
#else
class Converter {
public:
    Converter() : m_cd(iconv_open("UTF-8", "GBK")) {}
    ~Converter()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    std::string operator()(std::string_view piece)
    {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return std::string();
        char in[4], out[16];
        piece.copy(in, piece.size());
        char* inp = in;
        char* outp = out;
        size_t inLeft = piece.size(), outLeft = sizeof out;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(m_cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
            return std::string();
        return std::string(out, static_cast<size_t>(outp - out));
    }

private:
    iconv_t m_cd;
};
#endif
} // namespace

std::string GbkToUtf8(std::string_view gbk)
{
    if (AllAscii(gbk))
        return std::string(gbk);
#ifndef _WIN32
    thread_local Converter Convert;
#endif
    // Character by character: a damaged pair costs one replacement, not the
    // rest of the text.
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    for (size_t i = 0; i < gbk.size();) {
        unsigned char c = static_cast<unsigned char>(gbk[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::string one;
        if (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size())
            one = Convert(gbk.substr(i, 2));
        if (!one.empty()) {
            out += one;
            i += 2;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        size_t n = Utf8SequenceAt(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}
