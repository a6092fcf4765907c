#include "platform/Profile.h"

#include <cstddef>
#include <vector>

namespace {
// Blanks as Trim drops them.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

// The next line as TextFile::ReadString reads it: up to '\n', the CR of a CR LF
// dropped, a lone CR kept; no line after a final newline.
bool NextLine(std::string_view text, size_t& pos, std::string_view& line)
{
    if (pos >= text.size())
        return false;
    size_t nl = text.find('\n', pos);
    size_t end = nl == std::string_view::npos ? text.size() : nl;
    line = text.substr(pos, end - pos);
    if (nl != std::string_view::npos && !line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    pos = end + 1;
    return true;
}

bool IsSectionLine(std::string_view line)
{
    std::string_view t = Trimmed(line);
    return !t.empty() && t[0] == '[';
}

bool NamesSection(std::string_view line, const std::string& section)
{
    std::string_view t = Trimmed(line);
    if (t.size() < 2 || t[0] != '[')
        return false;
    size_t close = t.find(']');
    return close != std::string_view::npos && SameName(Trimmed(t.substr(1, close - 1)), section);
}

// Whether the line is "key = ..." for this key.
bool NamesKey(std::string_view line, const std::string& key)
{
    size_t eq = line.find('=');
    return eq != std::string_view::npos && SameName(Trimmed(line.substr(0, eq)), key);
}

// The value of key in the first section of that name.
bool FindValue(std::string_view text, const std::string& section, const std::string& key, std::string& value)
{
    size_t pos = 0;
    std::string_view line;
    bool inSection = false;
    while (NextLine(text, pos, line)) {
        if (!inSection) {
            inSection = NamesSection(line, section);
            continue;
        }
        if (IsSectionLine(line))
            return false;
        if (!NamesKey(line, key))
            continue;
        std::string_view v = Trimmed(line.substr(line.find('=') + 1));
        if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
            v = v.substr(1, v.size() - 2);
        value.assign(v.data(), v.size());
        return true;
    }
    return false;
}
} // namespace

std::string ProfileGetStringInText(std::string_view text, const std::string& section, const std::string& key,
                                   const std::string& defaultValue, unsigned bufferSize)
{
    if (bufferSize == 0)
        return std::string();
    std::string result;
    if (!FindValue(text, section, key, result))
        result = defaultValue;
    if (result.size() > bufferSize - 1)
        result.resize(bufferSize - 1);
    return result;
}

// As GetPrivateProfileIntA reads a value: empty gives the default; an
// optional sign, then "0x" hexadecimal, "0o" octal, "0b" binary, otherwise
// decimal (a leading zero is not octal); the leading digits count, 32 bits wrap.
int ProfileGetIntInText(std::string_view text, const std::string& section, const std::string& key, int defaultValue)
{
    std::string v = ProfileGetStringInText(text, section, key, "\x01");
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

std::string ProfileWriteStringInText(std::string_view text, const std::string& section, const std::string& key,
                                     const std::string& value)
{
    std::vector<std::string_view> lines;
    size_t pos = 0;
    std::string_view line;
    while (NextLine(text, pos, line))
        lines.push_back(line);
    const std::string entry = key + "=" + value;
    const std::string header = "[" + section + "]";
    size_t s = 0;
    while (s < lines.size() && !NamesSection(lines[s], section))
        ++s;
    if (s == lines.size()) {
        lines.push_back(header);
        lines.push_back(entry);
    } else {
        size_t i = s + 1;
        while (i < lines.size() && !IsSectionLine(lines[i]) && !NamesKey(lines[i], key))
            ++i;
        if (i < lines.size() && !IsSectionLine(lines[i]))
            lines[i] = entry;
        else
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), entry);
    }
    std::string out;
    out.reserve(text.size() + entry.size() + header.size() + 2 * lines.size());
    for (std::string_view l : lines)
        out.append(l.data(), l.size()).append("\r\n", 2);
    return out;
}

#ifdef _WIN32
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

void ProfileForget(const std::string& file)
{
    // The documented flush: no section, key or value. It always "fails".
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}
#else
#include "platform/File.h"

namespace {
// A file that cannot be read holds nothing.
std::string FileText(const std::string& file)
{
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(file, bytes))
        return std::string();
    return std::string(bytes.begin(), bytes.end());
}
} // namespace

std::string ProfileGetString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& defaultValue, unsigned bufferSize)
{
    return ProfileGetStringInText(FileText(file), section, key, defaultValue, bufferSize);
}

int ProfileGetInt(const std::string& file, const std::string& section, const std::string& key, int defaultValue)
{
    return ProfileGetIntInText(FileText(file), section, key, defaultValue);
}

bool ProfileWriteString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value)
{
    std::string text = ProfileWriteStringInText(FileText(file), section, key, value);
    return WriteWholeFile(file, text.data(), text.size());
}

// The reader above reads the file afresh every time.
void ProfileForget(const std::string&) {}
#endif
