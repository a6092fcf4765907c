#include "platform/MultiByte.h"

#include "platform/Paths.h"

#include <windows.h>

std::string LowerMultiByte(const std::string& name)
{
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsDBCSLeadByte(c) && i + 1 < name.size()) {
            char pair[2] = {name[i], name[i + 1]};
            wchar_t wide[2] = {0};
            int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pair, 2, wide, 2);
            char back[4] = {0};
            int m = 0;
            if (n == 1) {
                CharLowerBuffW(wide, 1);
                BOOL lossy = FALSE;
                m = WideCharToMultiByte(CP_ACP, 0, wide, 1, back, sizeof back, nullptr, &lossy);
                if (lossy)
                    m = 0;
            }
            if (m == 2)
                out.append(back, 2);
            else
                out.append(pair, 2);
            ++i;
        } else {
            char single = static_cast<char>(c);
            CharLowerBuffA(&single, 1);
            out.push_back(single);
        }
    }
    return out;
}

bool ContainsMultiByte(const std::string& text, const std::string& key)
{
    if (key.empty())
        return true;
    for (size_t i = 0; i + key.size() <= text.size();) {
        if (text.compare(i, key.size(), key) == 0)
            return true;
        bool lead = IsDBCSLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size();
        i += lead ? 2 : 1;
    }
    return false;
}

bool IsMultiByteLead(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

bool SamePath(const std::string& a, const std::string& b) { return LowerMultiByte(a) == LowerMultiByte(b); }

bool IsStrictlyWithin(const std::string& path, const std::string& dir)
{
    return IsSelfOrWithin(path, dir) && !SamePath(WithoutTrailingBackslash(path), WithoutTrailingBackslash(dir));
}

bool IsSelfOrWithin(const std::string& path, const std::string& dir)
{
    std::string p = LowerMultiByte(path), d = LowerMultiByte(WithoutTrailingBackslash(dir));
    return !d.empty() && (p == d || (p.size() > d.size() && p.compare(0, d.size(), d) == 0 && p[d.size()] == '\\'));
}
