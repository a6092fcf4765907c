#include "deploy/Shortcuts.h"

#include "platform/FileCopy.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

namespace {
const char* const kShortcutNames[] = {"Torne lix.lnk", "Tornelix.lnk"};

// A special folder of the current user in short form with a backslash,
// computed on first use and kept for the process.
std::string KeptShortFolder(SpecialFolder folder, std::string& kept, bool& done)
{
    if (done)
        return kept;
    done = true;
    std::string path = SpecialFolderPath(folder, true);
    if (path.empty())
        return kept;
    std::string shortForm = ShortPathOf(path);
    if (shortForm.empty())
        return kept;
    kept = WithBackslash(shortForm);
    return kept;
}

std::string g_desktop, g_programs;
bool g_desktopDone = false, g_programsDone = false;
} // namespace

std::string DesktopFolder() { return KeptShortFolder(SpecialFolder::desktop, g_desktop, g_desktopDone); }

std::string ProgramsFolder() { return KeptShortFolder(SpecialFolder::programs, g_programs, g_programsDone); }

std::string ShellFoldersDesktop() { return UserShellFolderValue("Desktop"); }

std::vector<std::string> ShortcutPathsIn(const std::string& folder)
{
    std::vector<std::string> paths;
    if (folder.empty())
        return paths;
    for (const char* name : kShortcutNames) {
        std::string path = JoinPath(folder, name); // empty when it does not fit
        if (!path.empty())
            paths.push_back(path);
    }
    return paths;
}

std::vector<std::string> ShortcutPaths()
{
    std::vector<std::string> paths;
    for (const std::string& folder : {DesktopFolder(), ShellFoldersDesktop(), ProgramsFolder()})
        for (const std::string& path : ShortcutPathsIn(folder))
            paths.push_back(path);
    return paths;
}

void RemoveShortcutsIn(const std::string& folder)
{
    for (const std::string& path : ShortcutPathsIn(folder))
        DeleteUnprotectedFile(path);
}

void RemoveShortcuts()
{
    for (const std::string& path : ShortcutPaths())
        DeleteUnprotectedFile(path);
}
