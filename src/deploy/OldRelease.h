// Removing the installed release before the package lays down the new one
// (state 5): the program tree, the product directory, the wizards, the
// write-filter overlay tree and the shortcuts; the data tree where it was saved.
#pragma once
#include <string>

class InstallPort;

// DataProductDir with everything in it.
void WipeDataTree();

// The program tree below InstallRoot. A file that another program holds open
// stops the wipe, and the package could not overwrite it later: the new
// release would be mixed with the old one while the end says success. The
// user is named the file and may close that program and try again (OK), or go
// on knowingly (Cancel, written to the setup log).
void WipeProgramTree(InstallPort& port);

// The product directory, the wizards, the overlay tree of a write-filter
// system and the shortcuts. A kept data tree (its save failed) keeps the
// overlay tree, which may hold it.
void WipeReleaseExtras(bool dataTreeKept);

// The first file below dir in enumeration order: after a DeleteTree that
// stopped, the one it could not delete; empty when there is none.
std::string FirstFileBelow(const std::string& dir);
