#include "release/RecordPlaces.h"

#include "deploy/Shortcuts.h"
#include "locations/Locations.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/SystemInfo.h"
#include "release/TagStore.h"

bool IsSharedSystemFile(const std::string& path)
{
    std::string system = SystemDirectory();
    if (system.empty())
        return false;
    std::string parent = ParentOf(path);
    return SamePath(parent, system) || SamePath(parent, JoinPath(system, "drivers"));
}

bool IsProductPlace(const std::string& path, const std::vector<std::string>& carried)
{
    if (!IsPlainDrivePath(path) || IsSelfOrWithin(path, WithoutTrailingBackslash(BootDir())))
        return false;
    for (const std::string& tree : {InstallRoot(), DataProductDir(), WizardsDir(), WriteFilterDataTree()})
        if (!WithoutTrailingBackslash(tree).empty() && IsSelfOrWithin(path, WithoutTrailingBackslash(tree)))
            return true;
    for (const std::string& shortcut : ShortcutPaths())
        if (SamePath(path, shortcut))
            return true;
    // The system's own files are never the product's: only those the record
    // says the release carries there.
    if (!IsSharedSystemFile(path))
        return false;
    for (const std::string& file : carried)
        if (SamePath(path, file))
            return true;
    return false;
}

std::string CarriedProblem(const std::vector<std::string>& carried)
{
    for (const std::string& file : carried)
        if (!IsPlainDrivePath(file) || !IsSharedSystemFile(file))
            return "names a file the release carries outside the system and driver directories: " + file;
    return std::string();
}

bool IsTagCopyOf(const std::string& copy, const std::string& original, const std::string& tag)
{
    return IsTagForm(tag) && IsPlainDrivePath(copy) && IsStrictlyWithin(copy, TagDirFor(original, tag));
}

std::string DataTreeProblem(const std::string& dataTree,
                            std::initializer_list<const std::vector<LaidFile>*> laidLists)
{
    if (!dataTree.empty() && !IsProductPlace(dataTree, {}))
        return "names a data tree that is not the product's: " + dataTree;
    for (const std::vector<LaidFile>* list : laidLists)
        for (const LaidFile& file : *list)
            if (dataTree.empty() || !IsSelfOrWithin(file.path, dataTree))
                return "names a file laid outside the data tree: " + file.path;
    return std::string();
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
