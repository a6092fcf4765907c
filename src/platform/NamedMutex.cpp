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

MutexTake TakeNamedMutex(const char* name, unsigned waitMs, void** handle)
{
    *handle = nullptr;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    // Made by a process whose default security leaves this one out: opening
    // it for waiting may still be allowed.
    if (!mutex && GetLastError() == ERROR_ACCESS_DENIED)
        mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
    if (!mutex)
        return MutexTake::failed;
    switch (WaitForSingleObject(mutex, waitMs)) {
    case WAIT_OBJECT_0:
        *handle = mutex;
        return MutexTake::taken;
    case WAIT_ABANDONED:
        *handle = mutex;
        return MutexTake::abandoned;
    case WAIT_TIMEOUT:
        CloseHandle(mutex);
        return MutexTake::held;
    default:
        CloseHandle(mutex);
        return MutexTake::failed;
    }
}

void ReleaseNamedMutex(void* handle)
{
    if (!handle)
        return;
    ReleaseMutex(static_cast<HANDLE>(handle));
    CloseHandle(static_cast<HANDLE>(handle));
}
