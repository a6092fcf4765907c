// paramtool: the service engineer's look into format and parameter files.
// Dispatches the first word to a registered subcommand (see Commands.h).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "Commands.h"
#include "format/FmtNameParser.h"
#include "logs/TraceLog.h"
#include "platform/File.h"

namespace {
// A function-local table: registrations run during static initialisation.
std::map<std::string, ParamToolCommand>& Table()
{
    static std::map<std::string, ParamToolCommand> table;
    return table;
}

void PrintHelp(FILE* out)
{
    fprintf(out, "usage: paramtool COMMAND [ARGS]\n\ncommands:\n");
    for (const ParamToolCommand& c : ParamToolCommands())
        fprintf(out, "  %-40s %s\n", c.usage, c.summary);
}
} // namespace

bool RegisterParamToolCommand(const ParamToolCommand& command)
{
    return Table().emplace(command.name, command).second;
}

std::vector<ParamToolCommand> ParamToolCommands()
{
    std::vector<ParamToolCommand> commands;
    for (const auto& entry : Table())
        commands.push_back(entry.second);
    return commands;
}

bool TakeOption(std::vector<std::string>& args, const char* shortName, const char* longName, std::string& value,
                bool* missing)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != shortName && (!longName || args[i] != longName))
            continue;
        if (i + 1 >= args.size()) {
            if (missing)
                *missing = true;
            args.erase(args.begin() + static_cast<long>(i));
            return false;
        }
        value = args[i + 1];
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        return true;
    }
    return false;
}

bool TakeFlag(std::vector<std::string>& args, const char* shortName, const char* longName)
{
    auto it = std::find_if(args.begin(), args.end(), [&](const std::string& a) {
        return a == shortName || (longName && a == longName);
    });
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

int UsageError(const char* usage, const std::string& problem)
{
    if (!problem.empty())
        fprintf(stderr, "paramtool: %s\n", problem.c_str());
    fprintf(stderr, "usage: paramtool %s\n", usage);
    return kExitUsage;
}

bool FileFound(const std::string& path, const char* role)
{
    if (FileExists(path))
        return true;
    fprintf(stderr, "paramtool: %s %s not found\n", role, path.c_str());
    return false;
}

std::string FormatFault(const std::string& path, const std::string& field)
{
    if (!FileExists(path))
        return "format file " + path + " not found";
    CFmtNameParser parser;
    parser.SetFieldName(field);
    // The scan that failed has said its trace line on the terminal already:
    // this one only finds which fault it was.
    SetTraceEcho(nullptr);
    bool scanned = parser.Scan(path);
    SetTraceEcho(stderr);
    if (!scanned)
        return "format file " + path + " does not parse";
    if (!parser.m_bFieldFound)
        return "format file " + path + " declares no field block '" + field + "'";
    return std::string();
}

int main(int argc, char** argv)
{
    // The trace-log records of an operation are the tool's diagnostics.
    SetTraceEcho(stderr);

    if (argc < 2) {
        PrintHelp(stderr);
        return kExitUsage;
    }
    std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        PrintHelp(stdout);
        return kExitOk;
    }
    auto found = Table().find(name);
    if (found == Table().end()) {
        fprintf(stderr, "paramtool: unknown command '%s'\n", name.c_str());
        PrintHelp(stderr);
        return kExitUsage;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    int status = found->second.run(args);
    fflush(stdout);
    return status;
}
