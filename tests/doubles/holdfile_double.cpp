// Double of another program that has a file open: an editor, a virus
// scanner, a second copy of a tool. Opens the file without sharing it, so
// that nobody else can open, overwrite or delete it, and holds it.
//   double_holdfile.exe --file PATH [--until-file PATH] [--hold-ms N] [--ready-file PATH]
// Holds until the until-file exists or N ms have passed (whichever comes
// first; 60000 ms when neither is given). --ready-file is created once the
// file is held. Exits 1 without a ready file when PATH cannot be opened.
#include <cstring>

#include "DoubleRecord.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string file, untilFile, readyFile;
    unsigned holdMs = 0;
    for (int i = 1; i + 1 < __argc; i += 2) {
        if (strcmp(__argv[i], "--file") == 0)
            file = __argv[i + 1];
        else if (strcmp(__argv[i], "--until-file") == 0)
            untilFile = __argv[i + 1];
        else if (strcmp(__argv[i], "--hold-ms") == 0)
            holdMs = static_cast<unsigned>(strtoul(__argv[i + 1], nullptr, 10));
        else if (strcmp(__argv[i], "--ready-file") == 0)
            readyFile = __argv[i + 1];
    }
    if (untilFile.empty() && holdMs == 0)
        holdMs = 60000;

    DoubleRecordStart();
    HANDLE held = file.empty() ? INVALID_HANDLE_VALUE
                               : CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        DoubleRecord("failed\t" + DoubleOwnName() + "\t" + std::to_string(GetLastError()));
        return 1;
    }
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
    CloseHandle(held);
    DoubleRecordEnd();
    return 0;
}
