// Double of the write-filter manager (copied as ewfmgr.exe into the system
// directory): records its start and arguments, then exits.
#include "DoubleRecord.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    DoubleRecordStart();
    return 0;
}
