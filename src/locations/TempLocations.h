// The temporary locations: portable, so that the trace log works in the tools
// as well as in the setup.
#pragma once
#include <string>

// The system temporary directory, captured on first use (the progress dialog
// captures it when it is constructed), and the parameter work directory in it.
std::string TempPath();
std::string ParamWorkDir();
// Where the setup's log lines go when SetUp.log cannot take them (held by
// another setup, a full data drive): "TornelixSetUp.log" in the temporary
// directory.
std::string FallbackSetupLogPath();
void CaptureTempPath();
