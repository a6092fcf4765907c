// Saving what must survive a reinstall before the wipe: the configurations'
// controller values as amend files (state 2); after the package the data
// tree set aside with the previous release comes home (state 9).
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
// State 9: the old release's laid files set aside from the data tree come
// back into DataProductDir by renames, its parameter files staying aside
// (BringSavedDataTreeHome); what cannot is left in the set-aside copy and
// named to the user and in the setup log (false).
bool RestoreDataTree(InstallPort& ui);
