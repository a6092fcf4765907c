// The work the install sequence does on the machine, one call per piece of a
// state. The sequence decides what comes next from the answers; the real
// operations (ControllerOperations) call the deployment and parameter steps,
// and the transition tests put a fake in their place.
#pragma once
#include <string>
#include <vector>

#include "deploy/Package.h"
#include "messages/Messages.h"

class InstallPort;
struct ParameterSession;

// What undoing a run cut short came to.
struct RecoveryOutcome {
    enum Kind {
        none,        // no run to undo
        cleanedUp,   // that run had ended; only its clean-up was finished (or a swap cut early was undone)
        swapFinished, // a /ROLLBACK cut short was finished: the kept release is in place
        restored,    // the previous release and its data are back
        notRestored, // something could not be put back (detail: what, and where its copy is)
        unreadable,  // a record cannot be trusted (detail: the record and why); nothing changed
    };
    Kind kind = none;
    std::string detail;
    bool keptRecordDamaged = false; // unreadable: the record is the kept release's (SetUp.kept)
};

// The message for a recovery that ends the run (notRestored, unreadable),
// with detail in its %s.
inline const MessagePair& RecoveryFailureMessage(const RecoveryOutcome& outcome)
{
    if (outcome.kind == RecoveryOutcome::notRestored)
        return MsgUndoNotWhole;
    return outcome.keptRecordDamaged ? MsgRollbackRecordUnreadable : MsgJournalUnreadable;
}

// What state 5 came to.
struct ClearOutcome {
    bool journalWritten = true; // false: the run stopped; what was moved went back
    bool restored = true;       // that putting back was whole
    std::string journal;        // the journal that could not be written, and its drive
    std::string drive;
    // Files of the release in the data tree (its laid files, the machine's
    // values) that another program held open: they stayed, not updated.
    std::vector<std::string> heldInDataTree;
};

class InstallOperations {
public:
    virtual ~InstallOperations() = default;

    // Fills what the parameter steps share for the whole run.
    virtual void PrepareSession(ParameterSession& session) = 0;
    // A record beside the setup log to read at the start: a run that did not
    // end (power cut, killed), or the kept release's.
    virtual bool UnfinishedRunFound() = 0;
    // The one recovery (release/StartupRecovery.h): undoes or finishes what
    // a run cut short left, or finds a record that cannot be trusted.
    virtual RecoveryOutcome RecoverUnfinishedRun() = 0;
    // State 0: true while the control program holds its instance mutex.
    virtual bool ControlProgramRunning() = 0;
    // State 1: empty when the setup file's digest and trailer are sound;
    // otherwise what to tell the user ("Bad Signature", or for a file that
    // cannot be read its name and the cause).
    virtual std::string SetupFileProblem() = 0;
    // After "Bad Signature": why the file cannot be used, for the setup log
    // (a digest that does not match, a copy cut short, a moved signature).
    virtual std::string SetupFileDamage() { return std::string(); }
    // State 1: why setup.cfg's Path, or the setup file's own place inside a
    // tree that the update sets aside, is refused (the message), or empty.
    virtual std::string ProductTreeRefusal() = 0;
    // State 1: when the setup file's recorded digest is the installed
    // release's (the run state), when that was installed, and *name its name
    // (empty when the state has none); empty otherwise.
    virtual std::string SameReleaseInstalledAt(std::string* name) = 0;
    // State 1: the long form of InstallRoot; empty when it does not exist.
    virtual std::string InstallRootLongPath() = 0;
    // State 2: false when the user ended the setup (nothing changed).
    virtual bool CollectParameterInfo(ParameterSession& session) = 0;
    // State 5.
    virtual ClearOutcome ClearOldRelease(InstallPort& port) = 0;
    // State 6: the package checked and run; noProductDir when it ran but left
    // no product directory below InstallRoot; pathRefused (report: why) when
    // the new release's setup.cfg Path would lead out of the product trees.
    virtual PackageOutcome ExtractPackage() = 0;
    // After a failed extraction: the previous release back as it was; false
    // when something could not be put back.
    virtual bool PutPreviousReleaseBack() = 0;
    // State 20: the update succeeded; what was set aside is kept as the
    // previous release or goes (KeptRelease.h). The text for the user when
    // an operator's file could not come home and stays aside, else empty.
    virtual std::string DiscardPreviousRelease() = 0;
    // States 7, 9, 10, 12. RestoreSavedFiles: false when some saved files
    // stay aside (the user was told where).
    virtual void CopySystemFiles() = 0;
    virtual bool RestoreSavedFiles(InstallPort& port) = 0;
    virtual void WriteActiveLanguage() = 0;
    virtual void InstallDrivers(InstallPort& port) = 0;
    // State 15.
    virtual bool PackupSet() = 0;
    virtual void PurgeConfigData(const ParameterSession& session) = 0;
    virtual void RestoreUserConfig(ParameterSession& session) = 0;
    virtual void TransferParameters(ParameterSession& session) = 0;
    virtual void RemoveReleaseUserTree() = 0;
    // State 16.
    virtual void RunPostInstallActions(InstallPort& port) = 0;
    // State 20.
    virtual bool WriteFilterSystem() = 0;
    virtual bool DriverInstallerRunning() = 0;
};
