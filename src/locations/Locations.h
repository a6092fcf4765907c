// Every installation path is derived here and nowhere else. Each location is
// returned as a copy; the two roots and the temporary paths are computed once.
#pragma once
#include <string>

#include "locations/TempLocations.h"

// Computed once per process.
std::string InstallRoot();
std::string DataRoot();

// Computed afresh on every call (they follow setup.cfg, which state 5 deletes).
std::string ProductDirName();
std::string ProductDir();
std::string DataProductDir();
std::string BootDir();
std::string BootIni();
std::string UserIni();
std::string PackupIni();
std::string FirstRunPath();
std::string ActiveLangName();
std::string LangDir();

// The save directory at the root of DataRoot's drive: D:\TorneLixTemp\ on a
// PC with its data on D:.
std::string TempSaveDir();


// Scans the present drives from *letter on, skipping skipLetter, for a fixed
// drive; writes the found letter back.
bool FindOtherFixedDrive(char* letter, char skipLetter);
bool IsWriteFilterSystem();
bool ActiveConfigDir(std::string& dir);

// The Packup setting of PackupIni: non-zero counts as set.
bool IsPackupSet();
