// Double of another program that has a file open: an editor, a virus
// scanner, a second copy of a tool. Opens the file without sharing it, so
// that nobody else can open, overwrite or delete it, and holds it.
//   double_holdfile.exe --file PATH [--until-file PATH] [--hold-ms N] [--ready-file PATH]
// Holds until the until-file exists or N ms have passed (whichever comes
// first; 60000 ms when neither is given). --ready-file is created once the
// file is held. Exits 1 without a ready file when PATH cannot be opened.
#include <cstring>

#include "DoubleHold.h"
#include "DoubleRecord.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string file;
    HoldOptions hold;
    for (int i = 1; i + 1 < __argc; i += 2)
        if (!hold.Take(__argv[i], __argv[i + 1]) && strcmp(__argv[i], "--file") == 0)
            file = __argv[i + 1];
    hold.DefaultTo(60000);

    DoubleRecordStart();
    HANDLE held = file.empty() ? INVALID_HANDLE_VALUE
                               : CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        DoubleRecord("failed\t" + DoubleOwnName() + "\t" + std::to_string(GetLastError()));
        return 1;
    }
    hold.MarkReady();
    hold.Wait();
    CloseHandle(held);
    DoubleRecordEnd();
    return 0;
}
