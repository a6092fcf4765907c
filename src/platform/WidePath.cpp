#include "platform/WidePath.h"

#include <cstdio>
#include <windows.h>

#include "platform/NameEscape.h"

namespace {
// Longer than this, the plain form fails where a directory is made (MAX_PATH
// less room for an 8.3 name).
const size_t kPlainLimit = MAX_PATH - 12;

void AppendCodePage(std::wstring& out, const char* text, size_t size)
{
    if (size == 0)
        return;
    int n = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), nullptr, 0);
    if (n <= 0)
        return;
    size_t start = out.size();
    out.resize(start + static_cast<size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), &out[start], n);
}

void AppendCodePoint(std::wstring& out, unsigned long cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp)); // an unpaired surrogate too: names may hold one
    }
}

void AppendEscape(std::string& out, unsigned long cp)
{
    char text[16];
    std::snprintf(text, sizeof text, "<U+%04lX>", cp);
    out += text;
}

// The code page's bytes for wide, only when they turn back into exactly wide.
bool ExactInCodePage(const wchar_t* wide, int count, std::string& bytes)
{
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, count, nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy)
        return false;
    bytes.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, count, &bytes[0], n, nullptr, &lossy);
    if (lossy)
        return false;
    std::wstring back;
    AppendCodePage(back, bytes.data(), bytes.size());
    return back.compare(0, std::wstring::npos, wide, static_cast<size_t>(count)) == 0;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// path (an absolute drive or UNC path, root of rootSize characters) with '/'
// as '\', empty parts dropped and "." and ".." resolved, as the system does
// for the plain form.
std::wstring Resolved(const std::wstring& path, size_t rootSize)
{
    std::wstring out = path.substr(0, rootSize);
    for (wchar_t& c : out)
        if (c == L'/')
            c = L'\\';
    if (out.empty() || out.back() != L'\\')
        out.push_back(L'\\');
    const size_t root = out.size();
    size_t i = rootSize;
    while (i < path.size()) {
        size_t end = i;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        std::wstring part = path.substr(i, end - i);
        if (part == L"..") {
            if (out.size() > root) {
                out.pop_back();
                out.erase(out.find_last_of(L'\\') + 1);
            }
        } else if (!part.empty() && part != L".") {
            out += part;
            if (end < path.size())
                out.push_back(L'\\');
        }
        i = end + 1;
    }
    return out;
}
} // namespace

std::wstring WidePathOf(const std::string& path)
{
    std::wstring wide;
    wide.reserve(path.size());
    size_t run = 0;
    for (size_t i = path.find('<'); i != std::string::npos; i = path.find('<', i + 1)) {
        // '<' is never the trail byte of a double-byte character.
        unsigned long cp = 0;
        size_t size = NameEscapeAt(path, i, &cp);
        if (size == 0)
            continue;
        AppendCodePage(wide, path.data() + run, i - run);
        AppendCodePoint(wide, cp);
        run = i + size;
        i = run - 1;
    }
    AppendCodePage(wide, path.data() + run, path.size() - run);
    if (wide.size() < kPlainLimit)
        return wide;
    bool drive = wide.size() >= 3 && wide[1] == L':' && IsSeparator(wide[2]) &&
                 ((wide[0] >= L'A' && wide[0] <= L'Z') || (wide[0] >= L'a' && wide[0] <= L'z'));
    bool unc = IsSeparator(wide[0]) && IsSeparator(wide[1]) && wide[2] != L'?' && wide[2] != L'.';
    if (drive)
        return L"\\\\?\\" + Resolved(wide, 2);
    if (unc) {
        // The root is "\\server\share": ".." never climbs above it.
        size_t server = wide.find_first_of(L"\\/", 2);
        size_t share = server == std::wstring::npos ? std::wstring::npos : wide.find_first_of(L"\\/", server + 1);
        size_t root = share == std::wstring::npos ? wide.size() : share;
        return L"\\\\?\\UNC\\" + Resolved(wide, root).substr(2);
    }
    return wide;
}

std::string NarrowNameOf(const std::wstring& name)
{
    size_t start = 0;
    if (name.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        start = 7; // "\\?\UNC\server" is "\\server": one backslash goes in front
    else if (name.compare(0, 4, L"\\\\?\\") == 0)
        start = 4;
    std::string out;
    if (name.find(L'<', start) == std::wstring::npos &&
        ExactInCodePage(name.data() + start, static_cast<int>(name.size() - start), out)) {
        if (start == 7)
            out.insert(0, "\\");
        return out;
    }
    out = start == 7 ? "\\" : "";
    std::string bytes;
    for (size_t i = start; i < name.size(); ++i) {
        wchar_t c = name[i];
        bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF;
        if (pair) {
            AppendEscape(out, 0x10000 + ((static_cast<unsigned long>(c) - 0xD800) << 10) + (name[i + 1] - 0xDC00));
            ++i;
        } else if (c != L'<' && !(c >= 0xD800 && c <= 0xDFFF) && ExactInCodePage(&c, 1, bytes)) {
            out += bytes;
        } else {
            AppendEscape(out, c);
        }
    }
    return out;
}

std::string NarrowNameOf(const wchar_t* name) { return NarrowNameOf(std::wstring(name)); }
