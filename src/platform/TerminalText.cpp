#include "platform/TerminalText.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <cstdlib>
#include <iconv.h>
#include <unistd.h>
#endif

namespace {
const unsigned kGbkCodePage = 936;

bool IsAscii(const std::string& text)
{
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

#ifdef _WIN32
std::string Recode(const std::string& text, unsigned fromCodePage, unsigned toCodePage)
{
    if (text.empty())
        return text;
    int wide = MultiByteToWideChar(fromCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0)
        return text;
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(fromCodePage, 0, text.data(), static_cast<int>(text.size()), &w[0], wide);
    int narrow = WideCharToMultiByte(toCodePage, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    if (narrow <= 0)
        return text;
    std::string out(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(toCodePage, 0, w.data(), wide, &out[0], narrow, nullptr, nullptr);
    return out;
}

// The console's output code page, or 0 when stream is no console.
unsigned ConsoleCodePage(FILE* stream)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return 0;
    return GetConsoleOutputCP();
}
#else
// The locale's character set as the C library would choose it (LC_ALL, then
// LC_CTYPE, then LANG), read without changing the process's locale.
bool LocaleIsUtf8()
{
    const char* name = nullptr;
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        name = getenv(variable);
        if (name && *name)
            break;
    }
    if (!name)
        return false;
    std::string lower;
    for (const char* p = name; *p; ++p)
        lower.push_back(static_cast<char>(*p >= 'A' && *p <= 'Z' ? *p - 'A' + 'a' : *p));
    return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos;
}
#endif
} // namespace

std::string GbkToUtf8(const std::string& text)
{
    if (IsAscii(text))
        return text;
#ifdef _WIN32
    return Recode(text, kGbkCodePage, CP_UTF8);
#else
    iconv_t cd = iconv_open("UTF-8", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1))
        cd = iconv_open("UTF-8", "GBK");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return text;
    std::string out;
    std::string in = text;
    char* inPtr = &in[0];
    size_t inLeft = in.size();
    char buf[1024];
    while (inLeft > 0) {
        char* outPtr = buf;
        size_t outLeft = sizeof buf;
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buf, static_cast<size_t>(outPtr - buf));
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // Not GBK (or cut short at the end): one byte shown as '?'.
            out.push_back('?');
            ++inPtr;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
#endif
}

std::string TerminalText(FILE* stream, const std::string& text)
{
    if (IsAscii(text))
        return text;
#ifdef _WIN32
    unsigned codePage = ConsoleCodePage(stream);
    if (codePage == 0 || codePage == kGbkCodePage)
        return text;
    return Recode(text, kGbkCodePage, codePage);
#else
    if (!isatty(fileno(stream)) || !LocaleIsUtf8())
        return text;
    return GbkToUtf8(text);
#endif
}

void WriteTerminalText(FILE* stream, const std::string& text)
{
    std::string shown = TerminalText(stream, text);
    fwrite(shown.data(), 1, shown.size(), stream);
}
