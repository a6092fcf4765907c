#include "release/RecordPlaces.h"

#include "deploy/Shortcuts.h"
#include "locations/Locations.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "release/TagStore.h"

namespace {
bool IsWithin(const std::string& path, const std::string& dir) { return IsSelfOrWithin(path, dir) && !SamePath(path, dir); }
} // namespace

bool IsProductPlace(const std::string& path)
{
    if (!IsPlainDrivePath(path) || IsSelfOrWithin(path, WithoutTrailingBackslash(BootDir())))
        return false;
    for (const std::string& tree : {InstallRoot(), DataProductDir(), WizardsDir(), WriteFilterDataTree()})
        if (!WithoutTrailingBackslash(tree).empty() && IsSelfOrWithin(path, WithoutTrailingBackslash(tree)))
            return true;
    for (const std::string& shortcut : ShortcutPaths())
        if (SamePath(path, shortcut))
            return true;
    std::string system = SystemDirectory();
    if (system.empty())
        return false;
    std::string parent = ParentOf(path);
    return SamePath(parent, system) || SamePath(parent, JoinPath(system, "drivers"));
}

bool IsTagCopyOf(const std::string& copy, const std::string& original, const std::string& tag)
{
    return IsTagForm(tag) && IsPlainDrivePath(copy) && IsWithin(copy, TagDirFor(original, tag));
}

bool IsTagDirectory(const std::string& dir)
{
    if (!IsPlainDrivePath(dir))
        return false;
    std::string name = dir.substr(dir.find_last_of('\\') + 1);
    return IsTagForm(name) && SamePath(dir, TagDirFor(dir, name)) &&
           (SamePath(ParentOf(dir), PreviousReleaseRootFor(InstallRoot())) ||
            SamePath(ParentOf(dir), PreviousReleaseRootFor(DataRoot())));
}
