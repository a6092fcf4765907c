// The application object: constructed during static initialisation with its
// setup log (which fixes the log's path and with it the installation roots);
// InitInstance runs the whole setup inside the modal progress dialog.
#pragma once
#include "logs/SetupLog.h"

class CAutoUpdateApp {
public:
    CAutoUpdateApp();
    virtual ~CAutoUpdateApp();
    CAutoUpdateApp(const CAutoUpdateApp&) = delete;
    CAutoUpdateApp& operator=(const CAutoUpdateApp&) = delete;

    // Creates the boot directory, opens the setup log and runs the progress
    // dialog. Returns the process's exit code (a SetupExitCode).
    virtual int InitInstance();

    CSetUpLogMgr& Log() { return m_log; }

private:
    CSetUpLogMgr m_log;
};
