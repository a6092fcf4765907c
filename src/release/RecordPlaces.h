// What a record may name. A record is input like any other, even where only
// administrators may write it: a path it names is acted on only when it is one of the places this
// setup itself sets aside, keeps and journals, and a copy of one only below
// "<root>.previous\<tag>" of its drive, with a tag of the setup's form.
// Windows only.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

#include "release/JournalRecords.h"

// The program and data trees and what lies in them (not the boot
// directory), the wizards and write-filter trees, the product's shortcuts,
// and of the files directly in the system or driver directory only those in
// carried: the ones the record says the release carries there (its
// "carries" lines, written as the setup copies them).
bool IsProductPlace(const std::string& path, const std::vector<std::string>& carried);
// A file directly in the system or driver directory.
bool IsSharedSystemFile(const std::string& path);
// Why a record's "carries" lines cannot be trusted (a path outside the
// system and driver directories), or empty.
std::string CarriedProblem(const std::vector<std::string>& carried);
// Below TagDirFor(original, tag), tag of IsTagForm.
bool IsTagCopyOf(const std::string& copy, const std::string& original, const std::string& tag);
// Why a record's data tree or the files it says were laid there may not be
// acted on (a data tree outside the product's, a laid file outside it), or empty.
std::string DataTreeProblem(const std::string& dataTree,
                            std::initializer_list<const std::vector<LaidFile>*> laidLists);
// Exactly a tag's directory below a root's "<root>.previous".
bool IsTagDirectory(const std::string& dir);
