// Double of another program that has a file open: an editor, a virus
// scanner, a second copy of a tool. Opens the file without sharing it, so
// that nobody else can open, overwrite or delete it, and holds it.
//   double_holdfile.exe --file PATH [--share read] [--until-file PATH] [--hold-ms N] [--ready-file PATH]
// --share read lets others read it (an editor's way): a copy succeeds, a
// rename or delete does not.
// Holds until the until-file exists or N ms have passed (whichever comes
// first; 60000 ms when neither is given). --ready-file is created once the
// file is held. Exits 1 without a ready file when PATH cannot be opened.
#include <cstring>

#include "DoubleHold.h"
#include "DoubleRecord.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string file;
    DWORD share = 0;
    HoldOptions hold;
    for (int i = 1; i + 1 < __argc; i += 2) {
        if (hold.Take(__argv[i], __argv[i + 1]))
            continue;
        if (strcmp(__argv[i], "--file") == 0)
            file = __argv[i + 1];
        else if (strcmp(__argv[i], "--share") == 0 && strcmp(__argv[i + 1], "read") == 0)
            share = FILE_SHARE_READ;
    }
    hold.DefaultTo(60000);

    DoubleRecordStart();
    HANDLE held = file.empty() ? INVALID_HANDLE_VALUE
                               : CreateFileA(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
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
