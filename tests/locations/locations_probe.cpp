// Prints the two roots and what is derived from them; the one-drive test
// runs it in a prefix without D:.
#include <cstdio>

#include "locations/Locations.h"

int main()
{
    printf("InstallRoot=%s\nDataRoot=%s\nBootDir=%s\nTempSaveDir=%s\n", InstallRoot().c_str(), DataRoot().c_str(),
           BootDir().c_str(), TempSaveDir().c_str());
    return 0;
}
