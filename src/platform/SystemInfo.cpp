#include "platform/SystemInfo.h"

#include <windows.h>

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
