// paramtool merge: carries the values of a saved amend file into an amend.dat
// of a new release, as the setup does for every configuration.
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "messages/Messages.h"
#include "params/AmendMerge.h"
#include "params/CarryReport.h"
#include "platform/File.h"
#include "platform/TerminalText.h"

namespace {
const char kUsage[] = "merge SAVED TARGET FORMAT [--create]";

// The configuration's name as the setup gives it: the target's directory.
std::string ConfigurationOf(const std::string& target)
{
    size_t end = target.find_last_of("\\/");
    std::string dir = end == std::string::npos ? std::string() : target.substr(0, end);
    size_t start = dir.find_last_of("\\/");
    return start == std::string::npos ? dir : dir.substr(start + 1);
}

// The counts, the dropped values and the new members, as carry prints them.
void PrintTally(const std::string& target, const MergeTally& tally)
{
    CarryReport report;
    report.configuration = ConfigurationOf(target);
    report.carried = tally.carried;
    report.dropped = tally.dropped;
    report.added = tally.added;
    std::vector<std::string> lines = CarryReportLines(report);
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    WriteTerminalText(stdout, text);
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
        fprintf(stderr, "paramtool: saved amend file %s not found\n", saved.c_str());
        return kExitFailure;
    }
    if (!FileExists(format)) {
        // Without a format nothing would be carried: refuse instead of emptying the target.
        fprintf(stderr, "paramtool: format file %s not found\n", format.c_str());
        return kExitFailure;
    }
    // A mistyped target would otherwise become a new file beside the real one.
    if (!create && !FileExists(target)) {
        fprintf(stderr, "paramtool: target %s does not exist (--create makes a new one)\n", target.c_str());
        return kExitFailure;
    }
    MergeTally tally;
    switch (MergeAmendFileChecked(saved, target, format, tally)) {
    case MergeResult::merged: break;
    case MergeResult::savedNotAmendText:
        fprintf(stderr,
                "paramtool: %s is not an amend text file (empty, binary, or no \"key = value\" line; a data file's "
                "values are listed with describe); %s is unchanged\n",
                saved.c_str(), target.c_str());
        return kExitFailure;
    case MergeResult::targetNotAmendText:
        fprintf(stderr,
                "paramtool: %s is not an amend text file (binary: a data file's values are listed with describe); "
                "it is unchanged\n",
                target.c_str());
        return kExitFailure;
    case MergeResult::formatUnreadable: {
        std::string fault = FormatFault(format);
        if (fault.empty())
            fault = "format file " + format + " cannot be read";
        fprintf(stderr, "paramtool: %s; %s is unchanged\n", fault.c_str(), target.c_str());
        return kExitFailure;
    }
    case MergeResult::formatWithoutController:
        fprintf(stderr, "paramtool: format file %s declares no CController block; %s is unchanged\n", format.c_str(),
                target.c_str());
        return kExitFailure;
    case MergeResult::nothingCarried:
        // A format of another release or product keeps none of the saved
        // values, and its filter would drop the target's own entries too.
        PrintTally(target, tally);
        fprintf(stderr,
                "paramtool: warning: %s declares none of the %lu saved entries of %s; nothing would be "
                "carried, %s is unchanged\n",
                format.c_str(), static_cast<unsigned long>(tally.dropped.size()), saved.c_str(), target.c_str());
        return kExitNothingCarried;
    case MergeResult::targetNotWritten:
        WriteTerminalText(stderr, std::string(LocalText(MsgUnitFileCreateFailed)) + "\n");
        fprintf(stderr, "paramtool: cannot write %s; it is unchanged\n", target.c_str());
        return kExitFailure;
    }
    PrintTally(target, tally);
    printf("merged %s into %s\n", saved.c_str(), target.c_str());
    return kExitOk;
}
} // namespace

PARAMTOOL_COMMAND(merge, kUsage,
                  "merge a saved amend file into a release's amend.dat, filtered by its format; prints what it "
                  "carried and dropped (exit 3: nothing carried)",
                  RunMerge);
