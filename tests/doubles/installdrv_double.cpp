// Double of the driver installer (copied as InstallDrv_x86.exe and
// InstallDrv_x64.exe): records its arguments, holds the driver installer's
// instance mutex for %TLX_DRIVER_HOLD_MS% ms (default 3000), records its end.
#include "DoubleRecord.h"
#include "deploy/Drivers.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, kDriverInstallerMutexName);
    DoubleRecordStart();
    Sleep(DoubleEnvNumber("TLX_DRIVER_HOLD_MS", 3000));
    DoubleRecordEnd();
    if (mutex)
        CloseHandle(mutex);
    return 0;
}
