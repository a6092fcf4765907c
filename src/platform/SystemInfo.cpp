#include "platform/SystemInfo.h"

#include <cstring>
#include <windows.h>
#include <shlobj.h>

bool IsNt6OrLater()
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    OSVERSIONINFOEXA extended;
    ZeroMemory(&extended, sizeof extended);
    extended.dwOSVersionInfoSize = sizeof extended;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
        OSVERSIONINFOA basic;
        ZeroMemory(&basic, sizeof basic);
        basic.dwOSVersionInfoSize = sizeof basic;
        if (!GetVersionExA(&basic))
            return false;
        return basic.dwPlatformId == VER_PLATFORM_WIN32_NT && basic.dwMajorVersion >= 6;
    }
#pragma GCC diagnostic pop
    return extended.dwPlatformId == VER_PLATFORM_WIN32_NT && extended.dwMajorVersion >= 6;
}

bool IsWow64()
{
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE kernel = GetModuleHandleA("kernel32");
    if (!kernel)
        return false;
    auto fn = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    BOOL wow64 = FALSE;
    return fn && fn(GetCurrentProcess(), &wow64) && wow64;
}

std::string SystemDirectory()
{
    char buf[MAX_PATH] = {0};
    UINT n = GetSystemDirectoryA(buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return buf;
}

std::string WindowsDirectory()
{
    char buf[MAX_PATH] = {0};
    UINT n = GetSystemWindowsDirectoryA(buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return buf;
}

std::vector<std::string> SystemFolders()
{
    std::vector<std::string> folders;
    auto add = [&](const std::string& folder) {
        if (!folder.empty())
            folders.push_back(folder);
    };
    add(WindowsDirectory());
    add(SystemDirectory());
    char buf[MAX_PATH] = {0};
    // Absent before Windows XP x64 and on 32-bit Windows (then it fails).
    using GetWow64DirFn = UINT(WINAPI*)(LPSTR, UINT);
    HMODULE kernel = GetModuleHandleA("kernel32");
    auto wow64Dir = kernel ? reinterpret_cast<GetWow64DirFn>(
                                 reinterpret_cast<void*>(GetProcAddress(kernel, "GetSystemWow64DirectoryA")))
                           : nullptr;
    if (wow64Dir) {
        UINT n = wow64Dir(buf, MAX_PATH);
        if (n != 0 && n < MAX_PATH)
            add(buf);
    }
    for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROFILE}) {
        memset(buf, 0, sizeof buf);
        if (SHGetSpecialFolderPathA(nullptr, buf, csidl, FALSE))
            add(buf);
    }
    // A 32-bit program is shown the x86 folder as CSIDL_PROGRAM_FILES; the
    // 64-bit one is only in the environment.
    memset(buf, 0, sizeof buf);
    DWORD n = GetEnvironmentVariableA("ProgramW6432", buf, MAX_PATH);
    if (n != 0 && n < MAX_PATH)
        add(buf);
    return folders;
}

std::string ComputerName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
}
