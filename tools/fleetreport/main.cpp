// fleetreport: one HTML page over the files collected from every controller
// of a roll-out (a folder per controller), for the operator's browser.
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "Controller.h"
#include "FleetPage.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/LocalTime.h"
#include "platform/TextEncoding.h"

namespace {
std::string Now() { return LocalTimeText(); }
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: fleetreport COLLECTED_DIR OUT.html\n\n"
                        "COLLECTED_DIR holds one folder per controller, named after it, with the files collected\n"
                        "from its boot directory: SetupState.ini, SetUp.log, CarryReport-*.json, CheckReport-*.json\n"
                        "(and the .txt reports of older releases).\n");
        return 1;
    }
    const std::string collected = argv[1], out = argv[2];
    if (!DirectoryExists(collected)) {
        fprintf(stderr, "fleetreport: %s: not found (or not a folder)\n", collected.c_str());
        return 2;
    }
    std::vector<Controller> controllers;
    std::string error;
    if (!ReadCollected(collected, &controllers, &error)) {
        fprintf(stderr, "fleetreport: %s\n", error.c_str());
        return 2;
    }
    PageHeading heading{IsValidUtf8(collected) ? collected : GbkToUtf8(collected), Now()};
    std::string page = FleetPage(controllers, heading);
    // Written beside and put in place, so that a browser on the share never
    // opens half a page.
    std::string temp = out + ".new";
    if (!WriteWholeFile(temp, page.data(), page.size()) || !ReplaceFileAtomically(temp, out)) {
        RemoveFile(temp);
        fprintf(stderr, "fleetreport: %s cannot be written\n", out.c_str());
        return 2;
    }
    size_t needy = 0, damaged = 0;
    for (const Controller& c : controllers) {
        needy += c.attention.urgency < kNoOneNeeded;
        damaged += !c.problems.empty();
    }
    printf("fleetreport: %lu controllers, %lu need someone, %lu with files missing or damaged: %s\n",
           static_cast<unsigned long>(controllers.size()), static_cast<unsigned long>(needy),
           static_cast<unsigned long>(damaged), out.c_str());
    return 0;
}
