// The temporary locations, portable so that the trace log works in the tools.
#include "locations/TempLocations.h"
#include "platform/TempDirectory.h"

namespace {
bool g_captured = false;
// Function-local so that it is usable during static initialisation.
std::string& KeptTempPath()
{
    static std::string path;
    return path;
}
} // namespace

void CaptureTempPath()
{
    KeptTempPath() = SystemTempDirectory();
    g_captured = true;
}

std::string TempPath()
{
    if (!g_captured)
        CaptureTempPath();
    return KeptTempPath();
}

std::string ParamWorkDir() { return TempPath() + "tornleixTemp"; }

std::string FallbackSetupLogPath() { return TempPath() + "TornelixSetUp.log"; }
