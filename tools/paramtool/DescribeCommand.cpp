// paramtool describe: a data block as the setup saves it, read from a data
// file (verified, restored from its backup when needed) and listed with a
// format file.
#include <cstdio>
#include <vector>

#include "Commands.h"
#include "ToolMessages.h"
#include "locations/TempLocations.h"
#include "platform/Process.h"
#include "format/FieldDescriptor.h"
#include "params/DataFileVerification.h"
#include "params/LocalListingTexts.h"
#include "platform/File.h"
#include "platform/StringUtil.h"


namespace {
const char kUsage[] = "describe DATA FORMAT [-b BLOCK] [-o LISTING]";

int RunDescribe(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    std::string block = "CController", listing;
    bool missing = false;
    TakeOption(args, "-b", "--block", block, &missing);
    bool toFile = TakeOption(args, "-o", "--output", listing, &missing);
    if (missing)
        return UsageError(kUsage, "-b and -o need a value");
    if (args.size() != 2 || args[0].empty() || args[0][0] == '-' || args[1].empty() || args[1][0] == '-')
        return UsageError(kUsage);
    AnswerMessagesOnStderr();
    const std::string& data = args[0];
    const std::string& format = args[1];

    std::vector<unsigned char> bytes;
    if (!ExtractParameters(data, block, bytes)) {
        if (!IsDataFileWhole(data))
            fprintf(stderr, "paramtool: %s is damaged or missing and has no usable backup\n", data.c_str());
        else
            fprintf(stderr, "paramtool: no readable block '%s' in %s\n", block.c_str(), data.c_str());
        return kExitFailure;
    }
    if (!toFile)
        listing = TempPath() + StrPrintf("paramtool-%d.lst", CurrentProcessId());
    CFieldDescriptor descriptor(LocalListingTexts());
    bool described = descriptor.DescribeBlock(listing, block, bytes.data(), static_cast<int>(bytes.size()), format);
    if (described) {
        // Every serial-number finding, as the setup's boxes would show them.
        CSerialNumberCheck check = descriptor.CheckSerialNumbers();
        SerialNumberFinding finding;
        while (check.Next(finding))
            fprintf(stderr, "%s\n", finding.message.c_str());
    }
    descriptor.Reset();
    if (!described) {
        fprintf(stderr, "paramtool: block '%s' of %s does not match %s\n", block.c_str(), data.c_str(),
                format.c_str());
        return kExitFailure;
    }
    if (toFile)
        return kExitOk;
    std::vector<unsigned char> text;
    bool read = ReadWholeFile(listing, text);
    remove(listing.c_str());
    if (!read) {
        fprintf(stderr, "paramtool: cannot write the listing to %s\n", listing.c_str());
        return kExitFailure;
    }
    SetStdoutBinary(); // the listing's CR LF as they are
    fwrite(text.data(), 1, text.size(), stdout);
    return kExitOk;
}
} // namespace

PARAMTOOL_COMMAND(describe, kUsage, "list a data block's values as the setup saves them (default block CController)",
                  RunDescribe);
