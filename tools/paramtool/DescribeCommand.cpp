// paramtool describe: a data block as the setup saves it, read from a data
// file and listed with a format file. It only reads: a damaged data file is
// left as it is (it is the service engineer's evidence; "verify" restores),
// and its backup is read only when asked for.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Commands.h"
#include "format/DataBlock.h"
#include "format/FieldDescriptor.h"
#include "locations/TempLocations.h"
#include "params/DataFileVerification.h"
#include "params/LocalListingTexts.h"
#include "platform/File.h"
#include "platform/Process.h"
#include "platform/StringUtil.h"
#include "platform/TerminalText.h"

namespace {
const char kUsage[] = "describe DATA FORMAT [-b BLOCK] [-o LISTING] [--backup]";

// Whether path can be written, found without changing it: an existing file is
// opened for update and left as it was, a new one is created and removed.
bool CanWrite(const std::string& path, std::string& why)
{
    bool existed = FileExists(path);
    FILE* f = fopen(path.c_str(), existed ? "r+b" : "wb");
    if (!f) {
        why = strerror(errno);
        return false;
    }
    fclose(f);
    if (!existed)
        remove(path.c_str());
    return true;
}

// The file to read the block from: DATA when it is whole; its whole backup
// when DATA is not and useBackup is set. Empty after the one-line reason. A
// file of another kind (an amend listing, a format file) is said to be one:
// its backup would not be what the engineer meant either.
std::string SourceOf(const std::string& data, bool useBackup)
{
    std::string fault = DataFileFault(data);
    if (fault.empty())
        return data;
    if (fault == "not found" && !useBackup) {
        fprintf(stderr, "paramtool: data file %s not found\n", data.c_str());
        return std::string();
    }
    if (IsOtherKindOfFile(fault)) {
        fprintf(stderr, "paramtool: %s %s\n", data.c_str(), fault.c_str());
        return std::string();
    }
    std::string backup = data + ".bak";
    if (!useBackup) {
        fprintf(stderr, "paramtool: %s %s (--backup reads %s; 'paramtool verify' restores it)\n", data.c_str(),
                fault.c_str(), backup.c_str());
        return std::string();
    }
    if (!IsDataFileWhole(backup)) {
        fprintf(stderr, "paramtool: %s %s and has no usable backup\n", data.c_str(), fault.c_str());
        return std::string();
    }
    fprintf(stderr, "paramtool: %s %s; read %s\n", data.c_str(), fault == "not found" ? "is missing" : fault.c_str(),
            backup.c_str());
    return backup;
}

int RunDescribe(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    std::string block = "CController", listing;
    bool missing = false;
    TakeOption(args, "-b", "--block", block, &missing);
    bool toFile = TakeOption(args, "-o", "--output", listing, &missing);
    bool useBackup = TakeFlag(args, "--backup", nullptr);
    if (missing)
        return UsageError(kUsage, "-b and -o need a value");
    if (args.size() != 2 || args[0].empty() || args[0][0] == '-' || args[1].empty() || args[1][0] == '-')
        return UsageError(kUsage);
    const std::string& data = args[0];
    const std::string& format = args[1];

    std::string why;
    if (toFile && !CanWrite(listing, why)) {
        fprintf(stderr, "paramtool: cannot write the listing to %s: %s\n", listing.c_str(), why.c_str());
        return kExitFailure;
    }
    std::string source = SourceOf(data, useBackup);
    if (source.empty())
        return kExitFailure;
    std::vector<unsigned char> bytes;
    try {
        if (!ReadDataBlock(source, block, bytes)) {
            fprintf(stderr, "paramtool: no readable block '%s' in %s\n", block.c_str(), source.c_str());
            return kExitFailure;
        }
    } catch (const FileError& e) {
        fprintf(stderr, "paramtool: cannot read block '%s' of %s: %s\n", block.c_str(), source.c_str(), e.what());
        return kExitFailure;
    }

    if (!toFile)
        listing = TempPath() + StrPrintf("paramtool-%d.lst", CurrentProcessId());
    CFieldDescriptor descriptor(LocalListingTexts());
    descriptor.m_bKeepValueItems = false; // the listing and the serial check need no more
    bool described = descriptor.DescribeBlock(listing, block, bytes.data(), static_cast<int>(bytes.size()), format);
    DescribeFailure failure = descriptor.LastFailure();
    if (described) {
        // Every serial-number finding, as the setup's boxes would show them.
        CSerialNumberCheck check = descriptor.CheckSerialNumbers();
        SerialNumberFinding finding;
        while (check.Next(finding))
            WriteTerminalText(stderr, finding.message + "\n");
    }
    descriptor.Reset();
    switch (failure) {
    case DescribeFailure::none: break;
    case DescribeFailure::formatUnreadable:
        fprintf(stderr, "paramtool: format file %s %s\n", format.c_str(),
                FileExists(format) ? "cannot be read" : "not found");
        return kExitFailure;
    case DescribeFailure::formatInvalid:
        fprintf(stderr, "paramtool: format file %s does not parse\n", format.c_str());
        return kExitFailure;
    case DescribeFailure::blockNotDescribed:
        fprintf(stderr, "paramtool: block '%s' of %s does not match %s\n", block.c_str(), source.c_str(),
                format.c_str());
        return kExitFailure;
    case DescribeFailure::listingUnwritable:
        fprintf(stderr, "paramtool: cannot write the listing to %s\n", listing.c_str());
        if (!toFile)
            remove(listing.c_str());
        return kExitFailure;
    }
    if (toFile)
        return kExitOk;
    std::vector<unsigned char> text;
    bool read = ReadWholeFile(listing, text);
    remove(listing.c_str());
    if (!read) {
        fprintf(stderr, "paramtool: cannot read back the listing %s\n", listing.c_str());
        return kExitFailure;
    }
    SetStdoutBinary(); // the listing's CR LF as they are
    WriteTerminalText(stdout, std::string(text.begin(), text.end()));
    return kExitOk;
}
} // namespace

PARAMTOOL_COMMAND(describe, kUsage,
                  "list a data block's values as the setup saves them (default CController); never writes DATA",
                  RunDescribe);
