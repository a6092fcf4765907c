// The install sequence's operations on this controller PC.
#pragma once
#include <string>
#include "app/InstallOperations.h"

class ControllerOperations : public InstallOperations {
public:
    ~ControllerOperations() override;

    void PrepareSession(ParameterSession& session) override;
    bool UnfinishedRunFound() override;
    RecoveryOutcome RecoverUnfinishedRun() override;
    bool ControlProgramRunning() override;
    // Looks every half second until the control program is gone, for up to
    // seconds; true when it is gone.
    bool ControlProgramGoneWithin(unsigned seconds);
    std::string SetupFileProblem() override;
    std::string SetupFileDamage() override { return m_setupFileDamage; }
    std::string ProductTreeRefusal() override;
    std::string SameReleaseInstalledAt(std::string* name) override;
    std::string InstallRootLongPath() override;
    bool CollectParameterInfo(ParameterSession& session) override;
    ClearOutcome ClearOldRelease(InstallPort& port) override;
    PackageOutcome ExtractPackage() override;
    bool PutPreviousReleaseBack() override;
    std::string DiscardPreviousRelease() override;
    void CopySystemFiles() override;
    bool RestoreSavedFiles(InstallPort& port) override;
    void WriteActiveLanguage() override;
    void InstallDrivers(InstallPort& port) override;
    bool PackupSet() override;
    void PurgeConfigData(const ParameterSession& session) override;
    void RestoreUserConfig(ParameterSession& session) override;
    void TransferParameters(ParameterSession& session) override;
    void RemoveReleaseUserTree() override;
    void RunPostInstallActions(InstallPort& port) override;
    bool WriteFilterSystem() override;
    bool DriverInstallerRunning() override;

    // /NOKEEP clears it: state 20 deletes the previous release instead of keeping it.
    static bool keepPrevious;

private:
    PackageOutcome SwitchOrRunPackage();
    void* m_controlMutex = nullptr; // kept open once the control program has gone
    std::string m_setupFileDamage;  // the last check's cause of "Bad Signature"
    std::string m_runningImage;     // what was last named as running: an installed program or the mutex
};
