// The subcommands of paramtool. Each lives in its own file and registers
// itself; main.cpp only dispatches.
//
// Adding a subcommand "foo":
//   1. Create tools/paramtool/FooCommand.cpp (CMake picks up every *.cpp here).
//   2. Write   static int RunFoo(const std::vector<std::string>& args) { ... }
//      args are the words after "foo"; return kExitOk, kExitFailure or
//      kExitUsage. Results go to stdout, diagnostics to stderr (the trace-log
//      lines already go there).
//   3. Register it at namespace scope:
//        PARAMTOOL_COMMAND(foo, "foo FILE [-x VALUE]", "one line saying what it does", RunFoo);
//   4. Add its checks: tests/format for format files (paramtool_check in its
//      CMakeLists.txt), tests/params for parameter files; and its line in
//      docs/service-engineering.md.
#pragma once
#include <string>
#include <vector>

// kExitNothingCarried: merge found none of the saved entries in the format.
enum ParamToolExit { kExitOk = 0, kExitFailure = 1, kExitUsage = 2, kExitNothingCarried = 3 };

using ParamToolRun = int (*)(const std::vector<std::string>& args);

struct ParamToolCommand {
    const char* name;
    const char* usage;   // the synopsis after "paramtool "
    const char* summary; // one line for the help text
    ParamToolRun run;
};

// Adds a command to the dispatch table (used through PARAMTOOL_COMMAND).
bool RegisterParamToolCommand(const ParamToolCommand& command);
// The table, sorted by name.
std::vector<ParamToolCommand> ParamToolCommands();

#define PARAMTOOL_COMMAND(name, usage, summary, run)                                                                   \
    static const bool g_paramtoolRegistered_##name = RegisterParamToolCommand({#name, usage, summary, run})

// Small argument helpers shared by the commands.
// Removes "-x VALUE" / "--long VALUE" from args; false when absent. A flag
// without its value is a usage error reported through *missing.
bool TakeOption(std::vector<std::string>& args, const char* shortName, const char* longName, std::string& value,
                bool* missing);
// Removes a flag without value; true when it was present.
bool TakeFlag(std::vector<std::string>& args, const char* shortName, const char* longName);
// Prints "paramtool: usage: paramtool <usage>" to stderr and returns kExitUsage.
int UsageError(const char* usage, const std::string& problem = std::string());
// Every command names the cause: "paramtool: <role> <path> not found" on
// stderr when path is no file (false then).
bool FileFound(const std::string& path, const char* role);
// Why a format file gives no member names of field: "format file F not found",
// "... does not parse" or "... declares no field block 'X'"; empty when it
// gives them. For the message after a failure (it scans the file again).
std::string FormatFault(const std::string& path, const std::string& field = "CController");
