// paramtool merge: carries the values of a saved amend file into an amend.dat
// of a new release, as the setup does for every configuration.
#include <cstdio>

#include "Commands.h"
#include "params/AmendMerge.h"
#include "platform/File.h"

namespace {
const char kUsage[] = "merge SAVED TARGET FORMAT";

int RunMerge(const std::vector<std::string>& args)
{
    if (args.size() != 3)
        return UsageError(kUsage);
    const std::string& saved = args[0];
    const std::string& target = args[1];
    const std::string& format = args[2];
    if (!FileExists(saved)) {
        fprintf(stderr, "paramtool: cannot read saved amend file %s\n", saved.c_str());
        return kExitFailure;
    }
    if (!FileExists(format)) {
        // Without a format nothing would be carried: refuse instead of emptying the target.
        fprintf(stderr, "paramtool: cannot read format file %s\n", format.c_str());
        return kExitFailure;
    }
    if (MergeAmendFile(saved, target, format) != MergeResult::merged) {
        fprintf(stderr, "paramtool: %s was not written; it is unchanged\n", target.c_str());
        return kExitFailure;
    }
    printf("merged %s into %s\n", saved.c_str(), target.c_str());
    return kExitOk;
}
} // namespace

PARAMTOOL_COMMAND(merge, kUsage, "merge a saved amend file into a release's amend.dat, filtered by its format",
                  RunMerge);
