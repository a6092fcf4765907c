#include "platform/NamedMutex.h"

#include <windows.h>

MutexProbe ProbeNamedMutex(const char* name, void** handle)
{
    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    DWORD error = GetLastError();
    *handle = mutex;
    if (mutex && error == ERROR_ALREADY_EXISTS)
        return MutexProbe::exists;
    return mutex ? MutexProbe::created : MutexProbe::failed;
}

void CloseMutexHandle(void* handle)
{
    if (handle)
        CloseHandle(static_cast<HANDLE>(handle));
}
