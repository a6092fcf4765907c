// Setup.exe: the application object lives for the whole process; its
// construction during static initialisation fixes the installation roots.
#include <windows.h>

#include "app/AutoUpdateApp.h"

CAutoUpdateApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return theApp.InitInstance();
}
