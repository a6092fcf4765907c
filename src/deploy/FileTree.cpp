#include "deploy/FileTree.h"

#include <functional>

#include "locations/Locations.h"
#include "platform/DirectoryEntries.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"

namespace {
using NameRule = std::function<bool(const std::string& name)>;

void Collect(const std::string& root, const NameRule& matches, PathList& list)
{
    ForEachEntry(root, "*.*", [&](const DirectoryEntry& entry) {
        std::string full = JoinPath(root, entry.name); // empty when it does not fit
        if (full.empty() || entry.IsReparsePoint())
            return true;
        if (entry.IsDirectory())
            Collect(full, matches, list);
        else if (matches(entry.name))
            list.push_back(full);
        return true;
    });
}
} // namespace

bool DeleteTree(const std::string& directory)
{
    // The last line of defence behind the check of setup.cfg's Path: a
    // drive root or a system folder is never wiped, whoever asks.
    if (IsProtectedFromDeletion(directory))
        return false;
    // Nor anything outside the product's own trees: a record on the data
    // drive may name any folder, and none of those is the setup's to wipe.
    if (!IsWithinOwnTrees(directory))
        return false;
    return DeleteDirectoryTree(directory);
}

int CopyTree(const std::string& source, const std::string& destination)
{
    // An own walk rather than the shell's copy: that one follows links and
    // may stop at a box of its own.
    return CopyDirectoryTree(source, destination);
}

void CollectByName(const std::string& root, const std::string& name, PathList& list)
{
    if (name.empty())
        return;
    std::string key = LowerMultiByte(name);
    Collect(root, [&](const std::string& n) { return LowerMultiByte(n) == key; }, list);
}

void CollectByFragment(const std::string& root, const std::string& fragment, PathList& list)
{
    if (fragment.empty())
        return;
    Collect(root, [&](const std::string& n) { return ContainsMultiByte(LowerMultiByte(n), fragment); }, list);
}

void CollectByFragments(const std::string& root, const std::string& first, const std::string& second,
                        PathList& list)
{
    if (first.empty() || second.empty())
        return;
    Collect(root,
            [&](const std::string& n) {
                std::string lower = LowerMultiByte(n);
                return ContainsMultiByte(lower, second) && ContainsMultiByte(lower, first);
            },
            list);
}
