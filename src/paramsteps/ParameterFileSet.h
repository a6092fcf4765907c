// Saving what must survive a reinstall before the wipe: the configurations'
// controller values as amend files (state 2) and the data tree without its
// parameter files (state 3); later the saved tree comes back (state 9).
#pragma once
#include <string>

#include "paramsteps/ParameterSession.h"

// Where each installed configuration's values are, into
// session.configurations (and their names into reserveQuestion): its
// parameter data file, or for a configuration without one its amend.dat
// when that holds controller values (listed after the data files).
void FindConfigurations(ParameterSession& session);
// True for a path of session.configurations that is an amend.dat.
bool IsAmendFile(const std::string& path);
// The controller section of an installed amend.dat written to listing as a
// saved amend file; false when it holds no value or listing cannot be
// written whole (then nothing is left there).
bool SaveAmendValues(const std::string& amendFile, const std::string& listing);
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
