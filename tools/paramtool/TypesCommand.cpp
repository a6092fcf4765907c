// paramtool types: the type model of a format file: every type and field
// block with its size, alignment and members at their offsets.
#include <cstdio>
#include <iostream>

#include "Commands.h"
#include "format/FormatParser.h"
#include "format/StringTable.h"

namespace {
const char kUsage[] = "types FORMAT [--declared] [-s STRINGDIR]";

void DumpAlias(const CFormatParser& parser, const CDataTypeAlias& alias)
{
    std::cout << "alias (" << alias.m_strName << ") = " << parser.TypeAt(alias.m_nTypeIndex).m_strName;
    if (alias.m_strPrintFormat)
        std::cout << " format=\"" << *alias.m_strPrintFormat << "\"";
    std::cout << ";\n";
}

int RunTypes(const std::vector<std::string>& arguments)
{
    std::vector<std::string> args = arguments;
    bool declaredOnly = TakeFlag(args, "-d", "--declared");
    std::string stringDir;
    bool missing = false;
    // Annotations may name texts of the string file by number.
    if (TakeOption(args, "-s", "--strings", stringDir, &missing))
        SetStringTableDir(stringDir);
    if (missing)
        return UsageError(kUsage, "-s needs the directory of Tornelix.string");
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        return UsageError(kUsage);

    if (!FileFound(args[0], "format file"))
        return kExitFailure;
    CFormatParser parser;
    if (!parser.Parse(args[0])) {
        // Where it fails is already on stderr through the trace log.
        fprintf(stderr, "paramtool: format file %s does not parse\n", args[0].c_str());
        return kExitFailure;
    }
    // The built-ins first (unless only the file's declarations are wanted),
    // then in file order.
    size_t firstType = declaredOnly ? btCount : 0;
    size_t firstAlias = declaredOnly ? CFormatParser::kBuiltinAliasCount : 0;
    for (size_t i = firstAlias; i < parser.m_aliases.size(); ++i)
        DumpAlias(parser, parser.m_aliases[i]);
    if (firstAlias < parser.m_aliases.size())
        std::cout << "\n";
    for (size_t i = firstType; i < parser.m_types.size(); ++i)
        parser.m_types[i]->Dump(std::cout, parser.m_types);
    for (const auto& field : parser.m_fieldTypes)
        field->Dump(std::cout, parser.m_types);
    std::cout.flush();
    return kExitOk;
}
} // namespace

PARAMTOOL_COMMAND(types, kUsage, "show every type and field block with size, alignment and member offsets",
                  RunTypes);
