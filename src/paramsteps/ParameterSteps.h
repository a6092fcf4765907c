// The parameter operations of the install sequence: finding the
// configurations and saving their controller values before the wipe (state 2),
// saving and restoring the user's data tree (states 3 and 9), and bringing the
// user configuration and the saved values into the new release (state 15).
#pragma once
#include <string>

#include "deploy/FileTree.h"

class InstallPort;

// What these operations share with the progress dialog, which owns it for the
// whole run.
struct ParameterSession {
    explicit ParameterSession(InstallPort& owner) : ui(owner) {}

    InstallPort& ui;               // message boxes owned by the dialog
    int transferRequested = 0;   // set by CollectParameterInfo on the user's Yes; never reset
    std::string recordedProductDirName; // ProductDirName when the user agreed
    std::string paramWorkDir;    // ParamWorkDir, captured with the dialog
    std::string reserveQuestion; // the configuration question, header first
    bool useActiveConfig = false; // nothing sets it
    std::string activeConfigDir; // ActiveConfigDir, looked up with the dialog
    PathList configurations;     // parameter data files found, in order
    bool dataTreeKept = false;   // the save of state 3 failed: state 5 keeps the data tree
    bool valuesNotCarried = false; // some configurations' values could not be saved; the user went on
};

// State 2: asks whether the parameters of the found configurations are to be
// kept and, on Yes, saves each configuration's controller block as
// <config>_amend.dat in paramWorkDir. Configurations whose values cannot be
// read or saved are named in one OK/Cancel box; false on Cancel (nothing has
// been changed, the setup ends).
bool CollectConfigurationValues(ParameterSession& session);
// State 3: DataProductDir into TempSaveDir, without the parameter files.
// False when the copy is incomplete (a full or missing drive): the partial
// copy is removed, and state 5 must keep the data tree and clear only its
// parameter files (RemoveParameterFilesInPlace), which leaves what the save
// and the restore would have left.
bool SaveDataTreeWithoutParameterFiles();
// State 5 after a failed save: the parameter file set taken out of
// DataProductDir itself (set aside, so that a failed update puts it back);
// the user's files stay where they are.
void RemoveParameterFilesInPlace();
// State 9: TempSaveDir back into DataProductDir, then TempSaveDir removed once
// every file of it arrived whole; otherwise it is kept and named to the user.
void RestoreDataTree(InstallPort& ui);
// State 15: the release's User tree into the data tree.
void CopyReleaseUserTree(ParameterSession& session);
// State 15: the saved amend files merged into the new release's amend.dat.
void MergeSavedAmendFiles(ParameterSession& session);
