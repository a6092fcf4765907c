// Double of a program that holds the control program's mutex under a
// security descriptor denying everyone (a service or another user's session):
// the name exists, yet nobody else may open it, so CreateMutex fails with
// access denied instead of reporting ERROR_ALREADY_EXISTS.
//   double_denymutex.exe [--name NAME] [--until-file PATH] [--hold-ms N] [--ready-file PATH]
// NAME defaults to the control program's mutex. Holds until PATH exists or
// N ms have passed (whichever comes first; 5000 ms when neither is given).
// --ready-file is created once the mutex is held and a second open of it was
// refused; it then holds "denied" or, when this system let the second open
// through anyway, "granted". Exits 1 after a `failed` line when the mutex
// cannot be made.
#include <cstring>

#include "DoubleHold.h"
#include "DoubleRecord.h"

#include <sddl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string name = "kvt_TORNELIX_7000{F87C04A0-D4EA-11d4-88B8-0050FC09F3B0}";
    HoldOptions hold;
    for (int i = 1; i + 1 < __argc; i += 2)
        if (!hold.Take(__argv[i], __argv[i + 1]) && strcmp(__argv[i], "--name") == 0)
            name = __argv[i + 1];
    hold.DefaultTo(5000);

    DoubleRecordStart();
    // Deny all access to everyone; the creator keeps its own handle.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;GA;;;WD)", SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        DoubleRecord("failed\t" + DoubleOwnName() + "\tdescriptor " + std::to_string(GetLastError()));
        return 1;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    HANDLE mutex = CreateMutexA(&attributes, TRUE, name.c_str());
    DWORD error = GetLastError();
    LocalFree(descriptor);
    if (!mutex || error == ERROR_ALREADY_EXISTS) {
        DoubleRecord("failed\t" + DoubleOwnName() + "\tmutex " + std::to_string(error));
        if (mutex)
            CloseHandle(mutex);
        return 1;
    }
    // What another program would get when it asks for the name now.
    SetLastError(ERROR_SUCCESS);
    HANDLE second = CreateMutexA(nullptr, FALSE, name.c_str());
    DWORD secondError = GetLastError();
    bool denied = !second && secondError == ERROR_ACCESS_DENIED;
    if (second)
        CloseHandle(second);
    DoubleRecord(std::string(denied ? "denied\t" : "granted\t") + DoubleOwnName() + "\t" +
                 std::to_string(secondError));
    hold.MarkReady(denied ? "denied\r\n" : "granted\r\n");
    hold.Wait();
    DoubleRecordEnd();
    CloseHandle(mutex);
    return 0;
}
