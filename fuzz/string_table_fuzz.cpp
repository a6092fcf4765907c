// The string file "Tornelix.string" on arbitrary bytes, read as the program
// reads it: [Attribute] MaxIndex through the profile reader, then texts by
// number with their escapes decoded. Every answer is a bounded text; numbers
// outside the table give "!ErrStr!"; a cached text keeps its address.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "logs/TraceLog.h"
#include "format/StringTable.h"
#include "platform/File.h"
#include "platform/TempDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string g_dir, g_file;

void SetUpOnce()
{
    SetTraceFileEnabled(false);
    SetTraceEcho(nullptr);
    g_dir = SystemTempDirectory() + "tlx-fuzz-strings-" + std::to_string(getpid());
    mkdir(g_dir.c_str(), 0700);
    g_file = g_dir + "/Tornelix.string";
    SetStringTableDir(g_dir);
}

void CheckText(const char* text)
{
    // Values are read into a 1024-byte buffer; decoding never grows them.
    if (!text || strlen(text) > 1023)
        abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (SetUpOnce(), true);
    (void)ready;
    if (!WriteWholeFile(g_file, data, size))
        return 0;
    LoadStringTable();
    if (strcmp(GetResourceString(-1), "!ErrStr!") != 0)
        abort();
    // The first numbers, a few far ones, and the table's own end.
    const int far[] = {100, 1000, 65535, 1 << 20, 0x7fffffff};
    for (int n = 0; n <= 24; ++n)
        CheckText(GetResourceString(n));
    for (int n : far)
        CheckText(GetResourceString(n));
    const char* first = GetResourceString(1);
    if (GetResourceString(1) != first)
        abort();
    ReleaseStringTable();
    return 0;
}
