// paramtool verify: whether a parameter data file is whole, restoring it from
// its ".bak" backup when that one is whole.
#include <cstdio>

#include "Commands.h"
#include "params/DataFileVerification.h"
#include "platform/File.h"
#include "platform/TerminalText.h"

namespace {
const char kUsage[] = "verify DATA";

int RunVerify(const std::vector<std::string>& args)
{
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        return UsageError(kUsage);
    const std::string& path = args[0];
    // A missing file with a whole backup is restored; with neither there is
    // nothing to check.
    if (!FileExists(path) && !FileExists(path + ".bak")) {
        fprintf(stderr, "paramtool: data file %s not found (nor its backup %s.bak)\n", path.c_str(), path.c_str());
        return kExitFailure;
    }
    // A file of another kind is no damaged data file: its backup (if any)
    // is not put over it.
    std::string fault = DataFileFault(path);
    if (IsOtherKindOfFile(fault)) {
        fprintf(stderr, "paramtool: %s %s\n", path.c_str(), fault.c_str());
        return kExitFailure;
    }
    DataFileCheck result;
    std::string problem;
    {
        std::lock_guard<std::mutex> guard(ParameterFileLock());
        result = CheckDataFile(path, &problem);
    }
    if (!problem.empty())
        WriteTerminalText(stderr, problem + "\n");
    switch (result) {
    case DataFileCheck::whole:
        printf("%s: whole\n", path.c_str());
        return kExitOk;
    case DataFileCheck::restored:
        printf("%s: restored from %s.bak\n", path.c_str(), path.c_str());
        return kExitOk;
    default:
        fprintf(stderr, "paramtool: %s %s and has no usable backup\n", path.c_str(), fault.c_str());
        return kExitFailure;
    }
}
} // namespace

PARAMTOOL_COMMAND(verify, kUsage, "check a data file's header and CRC-32; restore it from DATA.bak when needed",
                  RunVerify);
