// The format parsers on arbitrary bytes, in memory: CFormatParser::ParseText
// (with the model dumped afterwards) and CFmtNameParser::ScanText must parse
// or fail cleanly. One input in 64 also goes through a file (Parse, Scan).
// A long run's inputs grew past 20 KB for four edges more than at 4 KB, the
// rate falling from 10 000 to 2 000 a second: the search stays below 4 KB.
// fuzz-max-len: 4096
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "logs/TraceLog.h"
#include "format/FmtNameParser.h"
#include "format/FormatParser.h"
#include "format/StringTable.h"
#include "platform/File.h"
#include "platform/TempDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string g_format;

void SetUpOnce()
{
    // No trace-log file per failed parse; no echo either.
    SetTraceFileEnabled(false);
    SetTraceEcho(nullptr);
    std::string dir = SystemTempDirectory() + "tlx-fuzz-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    g_format = dir + "/input.fmt";
    // "{@n}" annotations resolve against a small table.
    std::string table = "[Attribute]\nMaxIndex=4\n[STRING]\n1=-n Name -g 7\n2=\\x41\\101\\q\n3=-f '%d' -k 1 ~ 2\n";
    WriteWholeFile(dir + "/Tornelix.string", table.data(), table.size());
    SetStringTableDir(dir);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (SetUpOnce(), true);
    (void)ready;
    const char* text = reinterpret_cast<const char*>(data);
    const bool viaFile = size % 64 == 0 && WriteWholeFile(g_format, data, size);

    CFormatParser parser;
    if (viaFile ? parser.Parse(g_format) : parser.ParseText(text, size, g_format)) {
        std::ostringstream sink;
        for (const auto& t : parser.m_types)
            t->Dump(sink, parser.m_types);
        for (const auto& f : parser.m_fieldTypes)
            f->Dump(sink, parser.m_types);
    }

    // Expanding a million array names per input would only slow the search.
    CFmtNameParser names;
    names.m_nMaxNames = 4096;
    if (viaFile)
        names.Scan(g_format);
    else
        names.ScanText(text, size, g_format);
    // A second block name: the scan also skips over what it does not want.
    CFmtNameParser other;
    other.m_nMaxNames = 4096;
    other.SetFieldName("S");
    other.ScanText(text, size, g_format);
    return 0;
}
