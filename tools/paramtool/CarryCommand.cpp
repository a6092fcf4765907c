// paramtool carry: what an update would carry of a machine's configuration,
// read offline from its data file and format and from the new release's
// format and amend file: the same report the setup writes beside its log.
#include <cstdio>
#include <vector>

#include "Commands.h"
#include "format/DataBlock.h"
#include "format/FieldDescriptor.h"
#include "locations/TempLocations.h"
#include "params/AmendMerge.h"
#include "params/CarryReport.h"
#include "params/DataFileVerification.h"
#include "params/LocalListingTexts.h"
#include "platform/File.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"
#include "platform/TerminalText.h"

namespace {
const char kUsage[] = "carry DATA FORMAT NEWFORMAT NEWAMEND [-c NAME]";

// The configuration's name as the setup gives it: its directory's name.
std::string DirectoryName(const std::string& dataFile)
{
    size_t end = dataFile.find_last_of("\\/");
    std::string dir = end == std::string::npos ? std::string() : dataFile.substr(0, end);
    size_t start = dir.find_last_of("\\/");
    return start == std::string::npos ? dir : dir.substr(start + 1);
}

int RunCarry(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    std::string name;
    bool missing = false;
    bool named = TakeOption(args, "-c", "--config", name, &missing);
    if (missing)
        return UsageError(kUsage, "-c needs a configuration name");
    if (args.size() != 4)
        return UsageError(kUsage);
    const std::string& data = args[0];
    const std::string& oldFormat = args[1];
    const std::string& newFormat = args[2];
    const std::string& amend = args[3];
    if (!named)
        name = DirectoryName(data);

    // Read as the setup would, without repairing anything: a damaged file
    // falls back to its whole backup, as the setup's check would restore it.
    std::string source = data;
    std::string fault = DataFileFault(data);
    if (IsOtherKindOfFile(fault)) {
        fprintf(stderr, "paramtool: %s %s\n", data.c_str(), fault.c_str());
        return kExitFailure;
    }
    if (!fault.empty()) {
        source = data + ".bak";
        if (!IsDataFileWhole(source)) {
            fprintf(stderr, "paramtool: %s %s and has no usable backup: its values cannot be carried\n", data.c_str(),
                    fault.c_str());
            return kExitFailure;
        }
    }
    for (const std::string* format : {&oldFormat, &newFormat})
        if (!FileFound(*format, "format file"))
            return kExitFailure;
    // The new release's amend file is what the merge would write into: a
    // missing one, or a file of another kind (a data file), would make the
    // report guess.
    if (!FileExists(amend)) {
        fprintf(stderr, "paramtool: amend file %s not found (the new release's amend.dat of the configuration)\n",
                amend.c_str());
        return kExitFailure;
    }
    if (!IsAmendTextFile(amend)) {
        fprintf(stderr,
                "paramtool: %s is not an amend text file (binary: a data file's values are listed with describe)\n",
                amend.c_str());
        return kExitFailure;
    }
    std::vector<unsigned char> block;
    try {
        if (!ReadDataBlock(source, "CController", block)) {
            fprintf(stderr, "paramtool: no readable block 'CController' in %s\n", source.c_str());
            return kExitFailure;
        }
    } catch (const FileError& e) {
        fprintf(stderr, "paramtool: cannot read block 'CController' of %s: %s\n", source.c_str(), e.what());
        return kExitFailure;
    }
    std::string saved = TempPath() + StrPrintf("paramtool-carry-%d.dat", CurrentProcessId());
    CFieldDescriptor descriptor(LocalListingTexts());
    descriptor.m_bKeepValueItems = false; // only the saved listing is used
    bool described =
        descriptor.DescribeBlock(saved, "CController", block.data(), static_cast<int>(block.size()), oldFormat);
    const DescribeFailure failure = descriptor.LastFailure();
    descriptor.Reset();
    if (!described) {
        remove(saved.c_str());
        if (failure == DescribeFailure::formatInvalid)
            fprintf(stderr, "paramtool: format file %s does not parse\n", oldFormat.c_str());
        else if (failure == DescribeFailure::formatUnreadable)
            fprintf(stderr, "paramtool: format file %s cannot be read\n", oldFormat.c_str());
        else
            fprintf(stderr, "paramtool: the CController block of %s does not match %s\n", source.c_str(),
                    oldFormat.c_str());
        return kExitFailure;
    }
    CarryReport report;
    bool read = ReadCarryReport(name, saved, amend, newFormat, report);
    remove(saved.c_str());
    if (!read) {
        std::string fault = FormatFault(newFormat);
        if (fault.empty())
            fault = "format file " + newFormat + " cannot be read";
        fprintf(stderr, "paramtool: %s; nothing would be carried\n", fault.c_str());
        return kExitFailure;
    }
    std::string text;
    for (const std::string& line : CarryReportLines(report))
        text += line + "\n";
    WriteTerminalText(stdout, text);
    return kExitOk;
}
} // namespace

PARAMTOOL_COMMAND(carry, kUsage,
                  "what an update would carry of a configuration's values: carried count, dropped values, new members",
                  RunCarry);
