// What the parameter steps of the install sequence share for the whole run.
#pragma once
#include <string>
#include <vector>

#include "deploy/FileTree.h"
#include "params/CarryReport.h"

class InstallPort;

// What these operations share with the progress dialog, which owns it for the
// whole run.
struct ParameterSession {
    explicit ParameterSession(InstallPort& owner) : ui(owner) {}

    InstallPort& ui;               // message boxes owned by the dialog
    int transferRequested = 0;   // set by CollectConfigurationValues on the user's Yes; never reset
    std::string recordedProductDirName; // ProductDirName when the user agreed
    std::string paramWorkDir;    // ParamWorkDir, captured with the dialog
    std::string reserveQuestion; // the configuration question, header first
    bool useActiveConfig = false; // nothing sets it
    std::string activeConfigDir; // ActiveConfigDir, looked up with the dialog
    PathList configurations;     // parameter data files found, in order
    bool valuesNotCarried = false; // some configurations' values could not be saved; the user went on
    std::vector<std::pair<std::string, std::string>> notCarried; // those configurations: name, data file
    std::vector<CarryReport> carryReports; // what state 15 carried, one per merged configuration
};
