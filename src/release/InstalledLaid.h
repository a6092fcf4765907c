// What the release in place laid in the data tree, kept in a record of its
// own (SetUp.laid in the records' directory) so that it outlives an update
// that keeps no previous release (/NOKEEP, the keep rule, a held file): the
// next update tells the release's files from the operator's by it. Written
// whole at the end of every update; the kept release's record, where there
// is one, says the same and is read first. Windows only.
#pragma once
#include <string>
#include <vector>

#include "release/JournalRecords.h"

bool WriteInstalledLaid(const std::string& dataTree, const std::vector<LaidFile>& laid);
// Empty when there is no record, or one that cannot be trusted (then named
// in *problem): the files then count as the operator's, and stay.
std::vector<LaidFile> ReadInstalledLaid(std::string* problem);
