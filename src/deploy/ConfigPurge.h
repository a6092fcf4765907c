// Purge of the product's data files from the configuration directories of a
// fresh installation; only copies stamped "-0000-00-00-00-00-00" stay.
// Windows only.
#pragma once
#include <string>
#include <vector>

// Does nothing when the Packup setting is set. The dialog passes its
// active-configuration flag and directory as they are:
//   PurgeConfigDataFiles(m_useActiveConfig != 0, m_activeConfigDir);
// With the flag set, the last directory (ProductDir\config without a write
// filter, DataProductDir\config with one) is replaced by activeConfigDir +
// "config".
void PurgeConfigDataFiles(bool useActiveConfig, const std::string& activeConfigDir);

// The directories that a purge visits, in order.
std::vector<std::string> PurgeDirectories(bool writeFilter, const std::string& productDir,
                                          const std::string& dataProductDir, bool useActiveConfig,
                                          const std::string& activeConfigDir);
// Purges one configuration tree (nothing when it does not exist).
void PurgeDataFilesIn(const std::string& configDir);
