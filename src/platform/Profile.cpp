#include "platform/Profile.h"

#ifdef _WIN32
#include <vector>
#include <windows.h>

std::string ProfileGetString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& defaultValue, unsigned bufferSize)
{
    if (bufferSize == 0)
        return std::string();
    std::vector<char> buf(bufferSize, '\0');
    DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buf.data(), bufferSize,
                                       file.c_str());
    return std::string(buf.data(), n);
}

int ProfileGetInt(const std::string& file, const std::string& section, const std::string& key, int defaultValue)
{
    return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, file.c_str()));
}

bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value)
{
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}
#else
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/File.h"
#include "platform/StringUtil.h"

namespace {
bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool ReadLines(const std::string& file, std::vector<std::string>& lines)
{
    TextFile f;
    if (!f.Open(file, BinaryFile::modeRead | BinaryFile::shareDenyNone))
        return false;
    try {
        std::string line;
        while (f.ReadString(line))
            lines.push_back(line);
    } catch (const FileError&) {
        return false;
    }
    return true;
}

// Index of the "[section]" line, or -1.
int FindSection(const std::vector<std::string>& lines, const std::string& section)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string t = Trim(lines[i]);
        if (t.size() >= 2 && t[0] == '[') {
            size_t close = t.find(']');
            if (close != std::string::npos && SameName(Trim(t.substr(1, close - 1)), section))
                return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsSectionLine(const std::string& line)
{
    std::string t = Trim(line);
    return !t.empty() && t[0] == '[';
}
} // namespace

std::string ProfileGetString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& defaultValue, unsigned bufferSize)
{
    if (bufferSize == 0)
        return std::string();
    std::string result = defaultValue;
    std::vector<std::string> lines;
    if (ReadLines(file, lines)) {
        int s = FindSection(lines, section);
        if (s >= 0) {
            for (size_t i = static_cast<size_t>(s) + 1; i < lines.size() && !IsSectionLine(lines[i]); ++i) {
                size_t eq = lines[i].find('=');
                if (eq == std::string::npos || !SameName(Trim(lines[i].substr(0, eq)), key))
                    continue;
                std::string v = Trim(lines[i].substr(eq + 1));
                if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
                    v = v.substr(1, v.size() - 2);
                result = v;
                break;
            }
        }
    }
    if (result.size() > bufferSize - 1)
        result.resize(bufferSize - 1);
    return result;
}

// As GetPrivateProfileIntA reads a value: empty gives the default; an
// optional sign, then "0x" hexadecimal, "0o" octal, "0b" binary, otherwise
// decimal (a leading zero is not octal); the leading digits count, 32 bits wrap.
int ProfileGetInt(const std::string& file, const std::string& section, const std::string& key, int defaultValue)
{
    std::string v = ProfileGetString(file, section, key, "\x01");
    if (v == "\x01" || v.empty())
        return defaultValue;
    const char* p = v.c_str();
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    unsigned base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        base = 16;
    else if (p[0] == '0' && (p[1] == 'o' || p[1] == 'O'))
        base = 8;
    else if (p[0] == '0' && (p[1] == 'b' || p[1] == 'B'))
        base = 2;
    if (base != 10)
        p += 2;
    unsigned value = 0;
    for (;; ++p) {
        unsigned digit;
        if (*p >= '0' && *p <= '9')
            digit = static_cast<unsigned>(*p - '0');
        else if (*p >= 'a' && *p <= 'f')
            digit = static_cast<unsigned>(*p - 'a' + 10);
        else if (*p >= 'A' && *p <= 'F')
            digit = static_cast<unsigned>(*p - 'A' + 10);
        else
            break;
        if (digit >= base)
            break;
        value = value * base + digit;
    }
    return static_cast<int>(negative ? 0u - value : value);
}

bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value)
{
    std::vector<std::string> lines;
    ReadLines(file, lines);
    int s = FindSection(lines, section);
    std::string entry = key + "=" + value;
    if (s < 0) {
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
    } else {
        size_t i = static_cast<size_t>(s) + 1;
        bool replaced = false;
        for (; i < lines.size() && !IsSectionLine(lines[i]); ++i) {
            size_t eq = lines[i].find('=');
            if (eq != std::string::npos && SameName(Trim(lines[i].substr(0, eq)), key)) {
                lines[i] = entry;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            size_t at = static_cast<size_t>(s) + 1;
            while (at < lines.size() && !IsSectionLine(lines[at]))
                ++at;
            lines.insert(lines.begin() + static_cast<long>(at), entry);
        }
    }
    std::string text;
    for (const auto& l : lines)
        text += l + "\r\n";
    return WriteWholeFile(file, text.data(), text.size());
}
#endif
