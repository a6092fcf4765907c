#include "format/StringTable.h"

#include <cstring>
#include <unordered_map>
#include <utility>

#include "logs/TraceLog.h"
#include "platform/Paths.h"
#include "platform/Profile.h"

namespace {
const char kErrStr[] = "!ErrStr!";

struct StringCache {
    bool loaded = false; // an "array" exists: MaxIndex was not 0
    int count = 0;       // MaxIndex
    std::string path;
    bool inMemory = false; // read from text, not from path
    std::string text;
    // Filled entries only: a hostile MaxIndex must not size an allocation.
    std::unordered_map<int, std::string> texts;
};

StringCache& Cache()
{
    static StringCache cache;
    return cache;
}

StringDirProvider g_provider = nullptr;
std::string g_dir;

bool SameNoCase(const std::string& a, const char* b)
{
    size_t n = strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

void SetStringTableDirProvider(StringDirProvider provider) { g_provider = provider; }

void SetStringTableDir(const std::string& dir)
{
    g_provider = nullptr;
    g_dir = dir;
}

std::string StringTablePath()
{
    std::string dir = g_provider ? g_provider() : g_dir;
    if (dir.empty())
        return std::string();
    const char separator = PathSeparator();
    if (dir.back() != '\\' && dir.back() != '/')
        dir.push_back(separator);
    std::string path = dir + "Tornelix.string";
    if (path.size() >= 260)
        return std::string(); // longer than a path buffer: no file
    return path;
}

void ReleaseStringTable()
{
    StringCache& c = Cache();
    c.loaded = false;
    c.count = 0;
    c.path.clear();
    c.inMemory = false;
    c.text.clear();
    c.texts.clear();
}

namespace {
void ReadMaxIndex(StringCache& c)
{
    c.count = c.inMemory ? ProfileGetIntInText(c.text, "Attribute", "MaxIndex", 0)
                         : ProfileGetInt(c.path, "Attribute", "MaxIndex", 0);
    if (c.count > 0) {
        c.loaded = true;
        c.texts[0] = std::string();
    }
}
} // namespace

bool LoadStringTable()
{
    ReleaseStringTable();
    StringCache& c = Cache();
    c.path = StringTablePath();
    if (c.path.empty())
        return true;
    ReadMaxIndex(c);
    return true;
}

void LoadStringTableText(std::string text)
{
    ReleaseStringTable();
    StringCache& c = Cache();
    c.inMemory = true;
    c.text = std::move(text);
    ReadMaxIndex(c);
}

const char* GetResourceString(int n)
{
    StringCache& c = Cache();
    if (!c.loaded && !c.inMemory)
        LoadStringTable();
    if (!c.loaded || n < 0 || n > c.count)
        return kErrStr;
    auto found = c.texts.find(n);
    if (found != c.texts.end())
        return found->second.c_str();

    const std::string key = std::to_string(n);
    std::string raw = c.inMemory ? ProfileGetStringInText(c.text, "STRING", key, kErrStr, 1024)
                                 : ProfileGetString(c.path, "STRING", key, kErrStr, 1024);
    if (SameNoCase(raw, kErrStr))
        TraceMessage("|E|Load string %d failed\n", n);
    return c.texts.emplace(n, DecodeStringEscapes(raw)).first->second.c_str();
}

std::string DecodeStringEscapes(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char ch = text[i++];
        if (ch != '\\') {
            if (ch == '\0')
                break;
            out.push_back(ch);
            continue;
        }
        if (i >= text.size())
            break; // a trailing backslash ends the text
        char e = text[i++];
        int value;
        switch (e) {
        case '"': value = '"'; break;
        case '\'': value = '\''; break;
        case '\\': value = '\\'; break;
        case 'a': value = 7; break;
        case 'b': value = 8; break;
        case 'f': value = 12; break;
        case 'n': value = 10; break;
        case 'r': value = 13; break;
        case 't': value = 9; break;
        case 'v': value = 11; break;
        case 'x':
        case 'X':
            value = 0;
            for (int digits = 0; digits < 2 && i < text.size() && HexValue(text[i]) >= 0; ++digits)
                value = value * 16 + HexValue(text[i++]);
            break;
        default:
            if (e >= '0' && e <= '7') {
                value = e - '0';
                for (int digits = 1; digits < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7'; ++digits)
                    value = value * 8 + (text[i++] - '0');
                value &= 0xFF;
            } else {
                value = static_cast<unsigned char>(e);
            }
            break;
        }
        if (value == 0)
            break; // a decoded zero ends the text
        out.push_back(static_cast<char>(value));
    }
    return out;
}
