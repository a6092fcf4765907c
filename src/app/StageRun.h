// Setup.exe /S /STAGE: the new release laid beside the installation while
// the control program runs; nothing live changes and the control program is
// neither waited for nor stopped. The update of the same setup file then
// switches the stage in (ControllerOperations).
#pragma once

struct SetupOptions;

// The exit code; *changedNothing when the release is installed already.
int RunStage(const SetupOptions& options, bool* changedNothing);
