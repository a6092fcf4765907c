// Double of the control program: holds its instance mutex until told to go.
//   double_control.exe [--until-file PATH] [--hold-ms N] [--ready-file PATH]
// Holds until PATH exists or N ms have passed (whichever comes first;
// 5000 ms when neither is given). --ready-file is created once the mutex is held.
#include "DoubleHold.h"
#include "DoubleRecord.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HoldOptions hold;
    for (int i = 1; i + 1 < __argc; i += 2)
        hold.Take(__argv[i], __argv[i + 1]);
    hold.DefaultTo(5000);

    HANDLE mutex = CreateMutexA(nullptr, TRUE, "kvt_TORNELIX_7000{F87C04A0-D4EA-11d4-88B8-0050FC09F3B0}");
    DoubleRecordStart();
    hold.MarkReady();
    hold.Wait();
    DoubleRecordEnd();
    if (mutex)
        CloseHandle(mutex);
    return 0;
}
