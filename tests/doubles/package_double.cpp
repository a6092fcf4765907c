// Double of the self-extracting package: records its start (with the full
// path it was started from), copies its own file to %TLX_PACKAGE_COPY% when
// set, and exits with %TLX_PACKAGE_EXIT% (default 3) to show that the exit
// code is not looked at.
#include "DoubleRecord.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    DoubleRecordStart();
    std::string copy = DoubleEnv("TLX_PACKAGE_COPY");
    if (!copy.empty())
        CopyFileA(DoubleOwnPath().c_str(), copy.c_str(), FALSE);
    return static_cast<int>(DoubleEnvNumber("TLX_PACKAGE_EXIT", 3));
}
