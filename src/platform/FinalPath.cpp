#include "platform/FinalPath.h"

namespace {
char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lowered(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

// No part is empty (a doubled backslash after the start), "." or "..".
bool PartsAreNames(const std::string& key)
{
    size_t start = key.compare(0, 2, "\\\\") == 0 ? 2 : 0;
    while (start <= key.size()) {
        size_t end = key.find('\\', start);
        if (end == std::string::npos)
            end = key.size();
        std::string part = key.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}
} // namespace

std::string FinalPathKey(const std::string& finalPath)
{
    std::string out = finalPath;
    if (Lowered(out.substr(0, 8)) == "\\\\?\\unc\\")
        out = "\\\\" + out.substr(8);
    else if (out.compare(0, 4, "\\\\?\\") == 0)
        out = out.substr(4);
    while (!out.empty() && out.back() == '\\')
        out.pop_back();
    return Lowered(out);
}

bool FinalPathIsWithin(const std::string& path, const std::string& folder)
{
    const std::string p = FinalPathKey(path);
    const std::string f = FinalPathKey(folder);
    if (p.empty() || f.empty() || !PartsAreNames(p) || !PartsAreNames(f))
        return false;
    // The folder's whole name, then a backslash: "c:\boot2" does not begin
    // with "c:\boot\".
    return p.size() > f.size() + 1 && p.compare(0, f.size(), f) == 0 && p[f.size()] == '\\';
}

bool FinalPathIsEntry(const std::string& path, const std::string& folder, const std::string& name)
{
    if (!FinalPathIsWithin(path, folder) || name.empty() || name.find('\\') != std::string::npos)
        return false;
    return FinalPathKey(path) == FinalPathKey(folder) + "\\" + Lowered(name);
}
