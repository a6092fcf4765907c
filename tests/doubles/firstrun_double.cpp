// Double of the first-run program (copied as FirstRun.exe): records its
// start and arguments, then exits.
#include "DoubleRecord.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    DoubleRecordStart();
    return 0;
}
