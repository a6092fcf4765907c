// Setup.exe: the application object lives for the whole process; its
// construction during static initialisation fixes the installation roots.
#include <windows.h>

#include "app/AutoUpdateApp.h"
#include "platform/DllSearch.h"

// Before anything else runs, the application object's construction included
// (it asks the shell for folders, which loads DLLs): no DLL from the
// directory the setup was started from. The earliest priority of the
// program's own static objects.
namespace {
struct DllSearchFirst {
    DllSearch result = RestrictDllSearchToSystem();
};
DllSearchFirst g_dllSearch __attribute__((init_priority(101)));
} // namespace

CAutoUpdateApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    theApp.commandLine = commandLine ? commandLine : "";
    return theApp.InitInstance();
}
