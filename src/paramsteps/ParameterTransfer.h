// Bringing the user configuration and the saved values into the new release
// (state 15).
#pragma once

#include "paramsteps/ParameterSession.h"

// State 15: the release's User tree into the data tree.
void CopyReleaseUserTree(ParameterSession& session);
// State 15: the saved amend files merged into the new release's amend.dat.
void MergeSavedAmendFiles(ParameterSession& session);
