// The install sequence: one table of states in the order they run, each with
// its step label, its timer policy and the function that does its work and
// returns the state that follows. The window ticks it; the machine work goes
// through InstallOperations, the user through the window's port.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "messages/InstallPort.h"
#include "paramsteps/ParameterSession.h"

class InstallOperations;

// What the sequence needs of its window besides labels and boxes.
class SequenceWindow : public InstallPort {
public:
    virtual void StopTimer() = 0;
    virtual void StartTimer() = 0;
    // Ends the run: no state runs after it.
    virtual void Close() = 0;
};

class InstallSequence {
public:
    // The state numbers are fixed; the gaps (4, 11, 13, 14, 17-19) are not
    // states.
    enum State : int32_t {
        WaitControlExit = 0,
        ConfirmWipe = 1,
        CollectInfo = 2,
        SaveFiles = 3,
        ClearOld = 5,
        Extract = 6,
        CopySystem = 7,
        NoOpStep = 8,
        RestoreFiles = 9,
        WriteLanguage = 10,
        Drivers = 12,
        Transfer = 15,
        PostInstall = 16,
        Finish = 20,
        // Not states: what a state function returns to end the run, and the
        // filler of a table row's unused successor places.
        Closed = -1,
        None = -2,
    };

    InstallSequence(SequenceWindow& window, InstallOperations& machine);

    // Runs the current state once: its label, the timer around it, a trace
    // record when the state is entered, then the state's work.
    void Tick();

    int32_t state = WaitControlExit;
    ParameterSession params; // owns transferRequested and the parameter lists
    int exitCode = 0;        // a precise SetupExitCode (GivenExitCode maps it), final once the window is closed
    bool changedNothing = false; // the same release was installed and not installed again
    bool began = false;          // a state has run
    bool ended = false;          // the sequence itself closed the window: exitCode is its outcome

    // waits: a state that looks again on every tick until it can go on; the
    // timer keeps running. runsOnce: the timer is stopped around the state so
    // that no tick arrives inside its work or its message boxes.
    enum class Timer { waits, runsOnce };
    struct Row {
        State number;
        const char* name;
        std::optional<InstallStep> label; // shown when the state is entered
        Timer timer;
        State (InstallSequence::*run)();
        std::array<State, 3> next; // what run may return; anything else ends the run as invalid
    };
    // Public so that a test can check the table itself rather than copy it.
    static const Row kTable[];
    static const size_t kStateCount;

private:
    // Ends the run with "Invalid state!": a state number outside the table,
    // or a state that went on to one its row does not name.
    void EndAsInvalid();
    // Ends the run with exitCode code, the reason written to the setup log
    // first: a box is gone once answered, the log is what is read later.
    State Stop(int code, const std::string& reason);

    State RunWaitControlExit();
    State RunConfirmWipe();
    State RunCollectInfo();
    State RunSaveFiles();
    State RunClearOld();
    State RunExtract();
    State RunCopySystem();
    State RunNoOpStep();
    State RunRestoreFiles();
    State RunWriteLanguage();
    State RunDrivers();
    State RunTransfer();
    State RunPostInstall();
    State RunFinish();

    SequenceWindow& m_window;
    InstallOperations& m_machine;
    int32_t m_lastTracedState = -1;
    bool m_previousDiscarded = false;
    std::vector<std::string> m_heldInDataTree; // the release's files of the data tree that a held file kept
    bool m_savedFilesAway = false; // state 9 left some of the operator's files aside (and said where)
};
