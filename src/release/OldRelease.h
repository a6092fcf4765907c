// Taking the installed release out of the way before the package lays down
// the new one (state 5): the release's share of the data tree, the program tree, the product
// directory, the wizards, the write-filter overlay tree and the shortcuts.
// Nothing is deleted here: everything is set aside (PreviousRelease.h) and
// deleted only once the update has succeeded.
#pragma once
#include <string>
#include <vector>

class InstallPort;

// Each returns false when the journal could no longer be written: the caller
// stops and puts back what was moved.

// What the release in place laid in DataProductDir, unchanged, and the
// machine's values there; the operator's files stay where they are. Held
// ones stay too (named in the setup log and appended to held).
bool SetAsideDataTree(std::vector<std::string>* held);

// The program tree below InstallRoot. A file that another program holds open
// cannot be moved, and the package could not overwrite it later: the new
// release would be mixed with the old one while the end says success. The
// user is named the file and may close that program and try again (OK), or go
// on knowingly (Cancel, written to the setup log; the file stays).
bool SetAsideProgramTree(InstallPort& port);

// The product directory, the wizards, the overlay tree of a write-filter
// system and the shortcuts.
bool SetAsideReleaseExtras();
