// paramtool names: the member names of a field block as the parameter
// transfer sees them (arrays expanded, one name per line).
#include <cstdio>

#include "Commands.h"
#include "format/FmtNameParser.h"

namespace {
const char kUsage[] = "names FORMAT [-f FIELD]";

int RunNames(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    std::string field = "CController";
    bool missing = false;
    TakeOption(args, "-f", "--field", field, &missing);
    if (missing)
        return UsageError(kUsage, "-f needs a field name");
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        return UsageError(kUsage);

    if (!FileFound(args[0], "format file"))
        return kExitFailure;
    CFmtNameParser parser;
    parser.SetFieldName(field);
    if (!parser.Scan(args[0])) {
        // Where it fails is already on stderr through the trace log.
        fprintf(stderr, "paramtool: format file %s does not parse\n", args[0].c_str());
        return kExitFailure;
    }
    if (!parser.m_bFieldFound) {
        fprintf(stderr, "paramtool: no field block '%s' in %s\n", field.c_str(), args[0].c_str());
        return kExitFailure;
    }
    for (const std::string& name : parser.m_names)
        printf("%s\n", name.c_str());
    return kExitOk;
}
} // namespace

PARAMTOOL_COMMAND(names, kUsage, "list the declared member names of a field block (default CController)",
                  RunNames);
