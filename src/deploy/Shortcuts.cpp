#include "deploy/Shortcuts.h"

#include <windows.h>
#include <shlobj.h>

namespace {
const char* const kShortcutNames[] = {"Torne lix.lnk", "Tornelix.lnk"};

// A special folder of the current user in short form with a backslash,
// computed on first use and kept for the process.
std::string KeptShortFolder(int csidl, std::string& kept, bool& done)
{
    if (done)
        return kept;
    done = true;
    char folder[MAX_PATH] = {0};
    if (!SHGetSpecialFolderPathA(nullptr, folder, csidl, TRUE))
        return kept;
    char shortForm[MAX_PATH] = {0};
    DWORD n = GetShortPathNameA(folder, shortForm, MAX_PATH);
    if (n == 0 || n >= MAX_PATH - 1)
        return kept;
    kept = shortForm;
    if (kept.back() != '\\')
        kept += '\\';
    return kept;
}

std::string g_desktop, g_programs;
bool g_desktopDone = false, g_programsDone = false;
} // namespace

std::string DesktopFolder() { return KeptShortFolder(CSIDL_DESKTOP, g_desktop, g_desktopDone); }

std::string ProgramsFolder() { return KeptShortFolder(CSIDL_PROGRAMS, g_programs, g_programsDone); }

std::string ShellFoldersDesktop()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();
    char value[MAX_PATH + 1] = {0};
    DWORD size = MAX_PATH;
    LONG rc = RegQueryValueExA(key, "Desktop", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return std::string();
    value[MAX_PATH] = '\0'; // a value stored without its terminator
    return value;
}

std::vector<std::string> ShortcutPathsIn(const std::string& folder)
{
    std::vector<std::string> paths;
    if (folder.empty())
        return paths;
    std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
    for (const char* name : kShortcutNames) {
        std::string path = prefix + name;
        if (path.size() < MAX_PATH)
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
        DeleteFileA(path.c_str());
}

void RemoveShortcuts()
{
    for (const std::string& path : ShortcutPaths())
        DeleteFileA(path.c_str());
}
