// One setup at a time: a machine-wide mutex of the setup's own, in the Global
// namespace so that a setup started in another session (an engine's service
// in session 0, the operator's desktop) sees it as well. Taken before any
// record is read or written; a second setup waits for it as for the control
// program, then goes on from what the first left.
#pragma once

struct SetupOptions;

class SetupLock {
public:
    SetupLock() = default;
    ~SetupLock() { Release(); }
    SetupLock(const SetupLock&) = delete;
    SetupLock& operator=(const SetupLock&) = delete;

    // True once this process owns the lock. Under /S another setup is waited
    // for up to /WAIT seconds; otherwise a Retry/Cancel box asks. The wait
    // and how it ended go to the setup log (and under /S to the output).
    bool Take(const SetupOptions& options);
    void Release();

private:
    void* m_handle = nullptr;
};
