// The application object: constructed during static initialisation with its
// setup log (which fixes the log's path and with it the installation roots);
// InitInstance runs the whole setup inside the modal progress dialog, or
// without a window when the command line says /S.
#pragma once
#include <string>

#include "logs/SetupLog.h"

class CAutoUpdateApp {
public:
    CAutoUpdateApp();
    virtual ~CAutoUpdateApp();
    CAutoUpdateApp(const CAutoUpdateApp&) = delete;
    CAutoUpdateApp& operator=(const CAutoUpdateApp&) = delete;

    // Creates the boot directory, opens the setup log, reads the command line
    // and runs the progress dialog, the silent run or shows the usage.
    // Returns the process's exit code (a SetupExitCode).
    virtual int InitInstance();

    // The arguments after the program's name, as WinMain gets them.
    std::string commandLine;

    CSetUpLogMgr& Log() { return m_log; }

private:
    CSetUpLogMgr m_log;
};
