// Setup.exe's command line. Without arguments the setup runs in its window and
// asks its questions; /S runs the same install sequence without a window and
// answers them itself. Portable: nothing here calls Windows.
#pragma once
#include <string>

struct SetupOptions {
    bool silent = false;          // /S
    bool keepParameters = true;   // /NOPARAMS (with /S) answers the parameter question No
    bool goOnWithoutValues = false; // /GOON (with /S): go on when some configurations' values cannot be carried
    unsigned waitSeconds = 300;   // /WAIT=seconds (with /S): how long to wait for the control program
                                  // and, at the end, for the driver installer
    bool check = false;           // /CHECK: whether an update would go through; nothing changed
    bool keepPrevious = true;     // /NOKEEP: the previous release is deleted at the end, not kept
    bool rollback = false;        // /ROLLBACK: go back to the kept previous release (and forward again)
    bool engineCodes = false;     // /ENGINECODES (with /S): 1618 try again later, 3010 a restart completes it,
                                  // 7 a service case (ExitCodes.h)
    bool reinstall = false;       // /REINSTALL (with /S): install even when the same release is installed
    bool stage = false;           // /STAGE (with /S): lay the release beside the installation while the
                                  // control program runs; the next update switches it in
    std::string logCopy;          // /LOG=<file>: this run's setup log lines written there too
    bool usageAsked = false;      // /?
    std::string problem;          // why the command line is refused; empty when it is understood
};

// The longest /WAIT accepted: one day.
const unsigned kMaxWaitSeconds = 86400;

// Reads the arguments after the program's name (WinMain's command line):
// words separated by blanks, a double-quoted stretch kept together, switches
// in any case. Anything not understood sets problem.
SetupOptions ParseSetupCommandLine(const std::string& commandLine);

// The usage text with the switches and the exit codes.
std::string SetupUsageText();
