// Setup.exe /CHECK: whether an update (or with /ROLLBACK a swap back to the
// kept release) would go through on this machine and
// what it would carry of its values, found without changing anything but a
// few lines of the setup log and one report file beside it.
#pragma once

struct SetupOptions;

// The window's report in one box with OK, or under /S the report printed;
// the exit code: kExitSuccess (ready), kExitReadyNotCarried, or why not
// (kExitSetupFileUnusable, kExitCancelled, kExitNoSpace, kExitValuesWouldBeLost).
int RunPreflightCheck(const SetupOptions& options);
