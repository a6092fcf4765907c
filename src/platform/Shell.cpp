#include "platform/Shell.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

std::string SpecialFolderPath(SpecialFolder folder, bool create)
{
    int csidl = CSIDL_DESKTOP;
    switch (folder) {
    case SpecialFolder::desktop: csidl = CSIDL_DESKTOP; break;
    case SpecialFolder::programs: csidl = CSIDL_PROGRAMS; break;
    case SpecialFolder::programFiles: csidl = CSIDL_PROGRAM_FILES; break;
    case SpecialFolder::programFilesX86: csidl = CSIDL_PROGRAM_FILESX86; break;
    case SpecialFolder::system: csidl = CSIDL_SYSTEM; break;
    }
    char buf[MAX_PATH] = {0};
    if (!SHGetSpecialFolderPathA(nullptr, buf, csidl, create ? TRUE : FALSE))
        buf[0] = '\0';
    return buf;
}

std::string UserShellFolderValue(const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();
    char value[MAX_PATH + 1] = {0};
    DWORD size = MAX_PATH;
    LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return std::string();
    value[MAX_PATH] = '\0'; // a value stored without its terminator
    return value;
}

bool ShellStartHidden(const std::string& file, const char* parameters)
{
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = nullptr;
    info.lpFile = file.c_str();
    info.lpParameters = parameters;
    info.lpDirectory = nullptr;
    info.nShow = SW_HIDE;
    return ShellExecuteExA(&info) != FALSE;
}

std::string FixedDriveLetters()
{
    std::string letters;
    DWORD mask = GetLogicalDrives();
    for (char letter = 'A'; letter <= 'Z' && mask != 0; ++letter, mask >>= 1) {
        if (!(mask & 1))
            continue;
        char root[3] = {letter, ':', '\0'};
        if (GetDriveTypeA(root) == DRIVE_FIXED)
            letters += letter;
    }
    return letters;
}
