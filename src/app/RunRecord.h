// The run written down for deployment engines: the state file and the
// registry key (deploy/RunState), from the exit code the run ends with.
#pragma once

// A word for an exit code, as the state file and the registry give it.
const char* ExitCodeWord(int exitCode);
// Records the run's outcome (of an update, or of /ROLLBACK); a failure to
// record is written to the setup log. exitCode is the code given,
// preciseCode the run's own (ExitCodes.h). changedNothing: an update that
// found its release installed already and left it (exit code 0, no new
// install). staged: a /STAGE run, which installs nothing.
void RecordRun(int exitCode, int preciseCode, bool rollback, bool changedNothing = false, bool staged = false);
