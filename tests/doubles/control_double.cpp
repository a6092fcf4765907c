// Double of the control program: holds its instance mutex until told to go.
//   double_control.exe [--until-file PATH] [--hold-ms N] [--ready-file PATH]
// Holds until PATH exists or N ms have passed (whichever comes first;
// 5000 ms when neither is given). --ready-file is created once the mutex is held.
#include <cstring>

#include "DoubleRecord.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string untilFile, readyFile;
    unsigned holdMs = 0;
    for (int i = 1; i + 1 < __argc; i += 2) {
        if (strcmp(__argv[i], "--until-file") == 0)
            untilFile = __argv[i + 1];
        else if (strcmp(__argv[i], "--hold-ms") == 0)
            holdMs = static_cast<unsigned>(strtoul(__argv[i + 1], nullptr, 10));
        else if (strcmp(__argv[i], "--ready-file") == 0)
            readyFile = __argv[i + 1];
    }
    if (untilFile.empty() && holdMs == 0)
        holdMs = 5000;

    HANDLE mutex = CreateMutexA(nullptr, TRUE, "kvt_TORNELIX_7000{F87C04A0-D4EA-11d4-88B8-0050FC09F3B0}");
    DoubleRecordStart();
    if (!readyFile.empty()) {
        HANDLE h = CreateFileA(readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
    }
    DWORD start = GetTickCount();
    for (;;) {
        if (!untilFile.empty() && GetFileAttributesA(untilFile.c_str()) != INVALID_FILE_ATTRIBUTES)
            break;
        if (holdMs != 0 && GetTickCount() - start >= holdMs)
            break;
        Sleep(50);
    }
    DoubleRecordEnd();
    if (mutex)
        CloseHandle(mutex);
    return 0;
}
