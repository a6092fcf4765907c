// paramtool merge: carries the values of a saved amend file into an amend.dat
// of a new release, as the setup does for every configuration.
#include <algorithm>
#include <cstdio>

#include "Commands.h"
#include "messages/Messages.h"
#include "params/AmendMerge.h"
#include "platform/File.h"
#include "platform/TerminalText.h"

namespace {
const char kUsage[] = "merge SAVED TARGET FORMAT [--create]";

// How many of the saved [CController] entries the format keeps.
size_t KeptSavedEntries(const std::string& saved, const std::string& format, size_t& entries)
{
    AmendEntries controller, other;
    ReadControllerSection(saved, controller, other);
    auto isEntry = [](const AmendEntry& e) { return e.key != kControllerHeader; };
    entries = static_cast<size_t>(std::count_if(controller.begin(), controller.end(), isEntry));
    FilterByFormat(format, controller);
    return static_cast<size_t>(std::count_if(controller.begin(), controller.end(), isEntry));
}

int RunMerge(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    bool create = TakeFlag(args, "--create", nullptr);
    if (args.size() != 3)
        return UsageError(kUsage);
    const std::string& saved = args[0];
    const std::string& target = args[1];
    const std::string& format = args[2];
    if (!FileExists(saved)) {
        fprintf(stderr, "paramtool: cannot open saved amend file %s\n", saved.c_str());
        return kExitFailure;
    }
    if (!FileExists(format)) {
        // Without a format nothing would be carried: refuse instead of emptying the target.
        fprintf(stderr, "paramtool: cannot open format file %s\n", format.c_str());
        return kExitFailure;
    }
    // A mistyped target would otherwise become a new file beside the real one.
    if (!create && !FileExists(target)) {
        fprintf(stderr, "paramtool: target %s does not exist (--create makes a new one)\n", target.c_str());
        return kExitFailure;
    }
    // A format of another release or product keeps none of the saved values,
    // and its filter would drop the target's own entries too: warn and leave
    // the target alone.
    size_t entries = 0;
    if (KeptSavedEntries(saved, format, entries) == 0 && entries > 0) {
        fprintf(stderr,
                "paramtool: warning: %s declares none of the %lu saved entries of %s; nothing would be "
                "carried, %s is unchanged\n",
                format.c_str(), static_cast<unsigned long>(entries), saved.c_str(), target.c_str());
        return kExitNothingCarried;
    }
    switch (MergeAmendFile(saved, target, format)) {
    case MergeResult::merged: break;
    case MergeResult::formatUnreadable:
        fprintf(stderr, "paramtool: %s has no readable CController block; %s is unchanged\n", format.c_str(),
                target.c_str());
        return kExitFailure;
    case MergeResult::targetNotWritten:
        WriteTerminalText(stderr, std::string(LocalText(MsgUnitFileCreateFailed)) + "\n");
        fprintf(stderr, "paramtool: cannot write %s; it is unchanged\n", target.c_str());
        return kExitFailure;
    }
    printf("merged %s into %s\n", saved.c_str(), target.c_str());
    return kExitOk;
}
} // namespace

PARAMTOOL_COMMAND(merge, kUsage,
                  "merge a saved amend file into a release's amend.dat, filtered by its format (exit 3: "
                  "nothing carried)",
                  RunMerge);
