// Setup.exe /ROLLBACK: back to the kept previous release, and forward again.
#pragma once

struct SetupOptions;

// Waits for the control program as state 0 does, settles a run or a swap
// that a cut left, asks (OK/Cancel; /S answers OK) and swaps the current
// release with the kept one. Returns the exit code.
int RunRollback(const SetupOptions& options);
