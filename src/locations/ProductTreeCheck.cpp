#include "locations/ProductTreeCheck.h"

#include <cstring>

#include "platform/NameEscape.h"

namespace {
// A product tree may have at most this many bytes (MAX_PATH without its NUL):
// its programs take no longer path. Any other directory may be as long as
// the file system allows.
const size_t kMaxTreeBytes = 259;

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The path cut at its separators, double-byte characters kept whole (a
// backslash that is a trail byte separates nothing). Empty parts stay, so
// that the caller sees a leading "\\" as two of them.
bool SplitParts(const std::string& path, const PathNameRules& rules, std::vector<std::string>& parts)
{
    parts.assign(1, std::string());
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (rules.isLeadByte(c)) {
            if (i + 1 >= path.size())
                return false; // a lead byte without its trail byte
            parts.back().append(path, i, 2);
            ++i;
        } else if (IsSeparator(path[i])) {
            parts.emplace_back();
        } else {
            parts.back().push_back(path[i]);
        }
    }
    return true;
}

// A name the file system would store as written: no trailing dot or blank
// (Windows drops them, so "a." is "a" and "..." is not a name), no stream,
// wildcard or reserved character, no control character.
bool IsPlainName(const std::string& name, const PathNameRules& rules)
{
    if (name.empty() || name.back() == '.' || name.back() == ' ')
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (rules.isLeadByte(c)) {
            ++i;
            continue;
        }
        if (size_t escape = NameCharacterEscapeAt(name, i)) {
            i += escape - 1; // a character the code page has not
            continue;
        }
        if (c < 0x20 || strchr(":*?\"<>|", c) != nullptr)
            return false;
    }
    return true;
}

// The root ("c:" or "\\server\share") of a normal form.
std::string RootOf(const std::string& normal)
{
    if (normal.size() >= 2 && normal[1] == ':')
        return normal.substr(0, 2);
    if (normal.compare(0, 2, "\\\\") == 0) {
        size_t server = normal.find('\\', 2);
        size_t share = server == std::string::npos ? std::string::npos : normal.find('\\', server + 1);
        return share == std::string::npos ? normal : normal.substr(0, share);
    }
    return std::string();
}

bool IsOrContains(const std::string& tree, const std::string& folder)
{
    return tree == folder || IsStrictlyBelow(folder, tree);
}

// The first protection that tree (a normal form) breaks, or None.
TreeRefusal ProtectionBroken(const std::string& tree, const std::vector<std::string>& roots,
                             const ProtectedFolders& protectedFolders, const PathNameRules& rules)
{
    if (IsRootPath(tree))
        return TreeRefusal::DriveRoot;
    for (const std::string& root : roots) {
        if (IsOrContains(tree, root))
            return TreeRefusal::HoldsRoot;
    }
    std::string windows = NormalWindowsPath(protectedFolders.windows, rules);
    if (!windows.empty() && (IsOrContains(tree, windows) || IsStrictlyBelow(tree, windows)))
        return TreeRefusal::SystemFolder;
    for (const std::string& folder : protectedFolders.folders) {
        std::string normal = NormalWindowsPath(folder, rules);
        if (!normal.empty() && IsOrContains(tree, normal))
            return TreeRefusal::SystemFolder;
    }
    return TreeRefusal::None;
}
} // namespace

PathNameRules GbkPathNameRules()
{
    PathNameRules rules;
    rules.isLeadByte = [](unsigned char c) { return c >= 0x81 && c <= 0xFE; };
    rules.lower = [](const std::string& name) {
        std::string out = name;
        for (size_t i = 0; i < out.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(out[i]);
            if (c >= 0x81 && c <= 0xFE)
                ++i;
            else if (c >= 'A' && c <= 'Z')
                out[i] = static_cast<char>(c - 'A' + 'a');
        }
        return out;
    };
    return rules;
}

std::string NormalWindowsPath(const std::string& path, const PathNameRules& rules)
{
    std::vector<std::string> parts;
    if (!SplitParts(path, rules, parts))
        return std::string();
    std::string root;
    size_t first; // the first part below the root
    if (parts.size() >= 4 && parts[0].empty() && parts[1].empty()) {
        // "\\server\share\...": a share; "\\?\..." and "\\.\..." are device paths.
        if (!IsPlainName(parts[2], rules) || !IsPlainName(parts[3], rules))
            return std::string();
        root = "\\\\" + rules.lower(parts[2]) + "\\" + rules.lower(parts[3]);
        first = 4;
    } else if (parts.size() >= 2 && parts[0].size() == 2 && IsAsciiLetter(parts[0][0]) && parts[0][1] == ':') {
        root = rules.lower(parts[0]);
        first = 1;
    } else {
        return std::string(); // relative, root-relative or drive-relative
    }
    std::vector<std::string> names;
    for (size_t i = first; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!names.empty())
                names.pop_back();
            continue;
        }
        if (!IsPlainName(part, rules))
            return std::string();
        names.push_back(rules.lower(part));
    }
    std::string out = root;
    for (const std::string& name : names)
        out += "\\" + name;
    if (names.empty())
        out += "\\";
    return out;
}

bool IsRootPath(const std::string& normal) { return !normal.empty() && normal.back() == '\\'; }

bool IsStrictlyBelow(const std::string& inner, const std::string& outer)
{
    if (inner.empty() || outer.empty() || inner.size() <= outer.size() || inner.compare(0, outer.size(), outer) != 0)
        return false;
    // A root ends in its backslash; any other directory is followed by one.
    return IsRootPath(outer) || inner[outer.size()] == '\\';
}

bool IsAbsolutePathValue(const std::string& pathValue)
{
    if (!pathValue.empty() && IsSeparator(pathValue[0]))
        return true;
    return pathValue.size() >= 2 && IsAsciiLetter(pathValue[0]) && pathValue[1] == ':';
}

namespace {
std::string NormalTreePath(const std::string& path, const PathNameRules& rules)
{
    return path.size() > kMaxTreeBytes ? std::string() : NormalWindowsPath(path, rules);
}
} // namespace

std::string ProductTreeOf(const std::string& pathValue, const std::string& root, const PathNameRules& rules)
{
    std::string normalRoot = NormalTreePath(root, rules);
    if (normalRoot.empty())
        return std::string();
    if (!IsAbsolutePathValue(pathValue))
        return NormalTreePath(normalRoot + "\\" + pathValue, rules);
    // "\\server\share\..." stands by itself; "\dir" lies on the root's drive.
    if (pathValue.size() >= 2 && IsSeparator(pathValue[0]) && IsSeparator(pathValue[1]))
        return NormalTreePath(pathValue, rules);
    if (IsSeparator(pathValue[0]))
        return NormalTreePath(RootOf(normalRoot) + pathValue, rules);
    return NormalTreePath(pathValue, rules);
}

TreeRefusal CheckProductTrees(const std::string& pathValue, const std::string& installRoot,
                              const std::string& dataRoot, const ProtectedFolders& protectedFolders,
                              const PathNameRules& rules)
{
    if (pathValue.empty())
        return TreeRefusal::None;
    std::vector<std::string> roots = {NormalTreePath(installRoot, rules), NormalTreePath(dataRoot, rules)};
    bool relative = !IsAbsolutePathValue(pathValue);
    for (const std::string& root : roots) {
        if (root.empty())
            return TreeRefusal::Unclear;
        std::string tree = ProductTreeOf(pathValue, root, rules);
        if (tree.empty())
            return TreeRefusal::Unclear;
        if (relative && !IsStrictlyBelow(tree, root))
            return TreeRefusal::NotBelowRoot;
        // Strictly below a root a tree holds neither root; the other checks
        // still apply, should a root itself sit where it must not.
        TreeRefusal broken = ProtectionBroken(tree, relative ? std::vector<std::string>() : roots,
                                              protectedFolders, rules);
        if (broken != TreeRefusal::None)
            return broken;
    }
    return TreeRefusal::None;
}

TreeRefusal CheckResolvedProductTree(const std::string& tree, const std::string& root,
                                     const std::vector<std::string>& roots, bool relative,
                                     const ProtectedFolders& protectedFolders, const PathNameRules& rules)
{
    std::string normalTree = NormalTreePath(tree, rules);
    if (normalTree.empty())
        return TreeRefusal::Unclear;
    if (relative) {
        std::string normalRoot = NormalWindowsPath(root, rules);
        if (normalRoot.empty())
            return TreeRefusal::Unclear;
        if (!IsStrictlyBelow(normalTree, normalRoot))
            return TreeRefusal::NotBelowRoot;
    }
    std::vector<std::string> normalRoots;
    if (!relative) {
        for (const std::string& r : roots) {
            std::string normal = NormalWindowsPath(r, rules);
            if (normal.empty())
                return TreeRefusal::Unclear;
            normalRoots.push_back(normal);
        }
    }
    return ProtectionBroken(normalTree, normalRoots, protectedFolders, rules);
}

bool IsProtectedDirectory(const std::string& directory, const ProtectedFolders& protectedFolders,
                          const PathNameRules& rules)
{
    std::string normal = NormalWindowsPath(directory, rules);
    return normal.empty() || ProtectionBroken(normal, {}, protectedFolders, rules) != TreeRefusal::None;
}

TreeRefusal CheckProductTreesOnControllers(const std::string& pathValue)
{
    const ProtectedFolders folders = {"C:\\Windows",
                                      {"C:\\Windows", "C:\\Windows\\System32", "C:\\Windows\\SysWOW64",
                                       "C:\\Program Files", "C:\\Program Files (x86)"}};
    const PathNameRules rules = GbkPathNameRules();
    for (const char* installRoot : {"C:\\Program Files (x86)\\Velko\\", "C:\\Program Files\\Velko\\"}) {
        for (const char* dataRoot : {"D:\\Velko\\", "C:\\Velko\\"}) {
            TreeRefusal refusal = CheckProductTrees(pathValue, installRoot, dataRoot, folders, rules);
            if (refusal != TreeRefusal::None)
                return refusal;
        }
    }
    return TreeRefusal::None;
}
