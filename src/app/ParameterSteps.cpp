// PROVISIONAL: until the parameter preservation arrives, the sequence runs
// its "no parameters found" road. CollectParameterInfo finds nothing, so
// transferRequested stays 0 and states 3 and 9 and the transfer never run.
// RestoreUserConfig is already complete. Replace the other four with the
// real ones; their signatures are final.
#include "app/ParameterSteps.h"

#include <windows.h>
#include <shlwapi.h>

#include "app/Locations.h"
#include "deploy/FileTree.h"

void CollectParameterInfo(ParameterSession& /*session*/) {}

void SaveParameterFiles() {}

void RestoreSavedFiles() {}

void TransferParameters(ParameterSession& /*session*/) {}

void RestoreUserConfig(ParameterSession& session)
{
    std::string userTree = InstallRoot() + "User";
    std::string source = userTree + "\\" + ProductDirName();
    std::string target = DataProductDir();
    bool productTree = PathFileExistsA(source.c_str()) != FALSE;
    if (productTree && session.useActiveConfig)
        source += "\\config";
    if (!productTree) {
        userTree = InstallRoot() + "User\\";
        source = userTree + "config";
        target = DataProductDir() + "\\config";
    }
    if (session.useActiveConfig)
        target = session.activeConfigDir + "config";
    if (!PathFileExistsA(source.c_str()))
        return;
    if (!PathFileExistsA(target.c_str()))
        MakeDirectoryPath(target);
    CopyTree(source, target, kCopyTreeFlags);
    DeleteTree(userTree);
}
