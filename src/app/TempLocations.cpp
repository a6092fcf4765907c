// The temporary locations, portable so that the trace log works in the tools.
#include "app/Locations.h"
#include "platform/TempDirectory.h"

namespace {
bool g_captured = false;
std::string g_tempPath;
} // namespace

void CaptureTempPath()
{
    g_tempPath = SystemTempDirectory();
    g_captured = true;
}

std::string TempPath()
{
    if (!g_captured)
        CaptureTempPath();
    return g_tempPath;
}

std::string ParamWorkDir() { return TempPath() + "tornleixTemp"; }

std::string TempSaveDir() { return "D:\\TorneLixTemp\\"; }
