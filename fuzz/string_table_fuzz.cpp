// The string file "Tornelix.string" on arbitrary bytes, read as the program
// reads it: [Attribute] MaxIndex through the profile reader, then texts by
// number with their escapes decoded. Every answer is a bounded text; numbers
// outside the table give "!ErrStr!"; a cached text keeps its address. The
// bytes are read from memory; one input in 64 (by its length) is also written
// to the file and loaded from there, which must give the same texts.
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

// The first numbers, a few far ones, and the table's own end.
const int kNumbers[] = {-1, 0,  1,  2,  3,  4,  5,  6,  7,  8,   9,    10,    11,      12,        13,
                        14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 100, 1000, 65535, 1 << 20, 0x7fffffff};
const size_t kCount = sizeof kNumbers / sizeof kNumbers[0];

void SetUpOnce()
{
    SetTraceFileEnabled(false);
    SetTraceEcho(nullptr);
    g_dir = SystemTempDirectory() + "tlx-fuzz-strings-" + std::to_string(getpid());
    mkdir(g_dir.c_str(), 0700);
    g_file = g_dir + "/Tornelix.string";
    SetStringTableDir(g_dir);
}

// Every answer of the loaded table, checked.
void ReadAll(const char* (&texts)[kCount])
{
    for (size_t i = 0; i < kCount; ++i) {
        texts[i] = GetResourceString(kNumbers[i]);
        // Values are read into a 1024-byte buffer; decoding never grows them.
        if (!texts[i] || strlen(texts[i]) > 1023)
            abort();
    }
    if (strcmp(texts[0], "!ErrStr!") != 0 || GetResourceString(1) != texts[2])
        abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (SetUpOnce(), true);
    (void)ready;
    const char* texts[kCount];
    LoadStringTableText(std::string(reinterpret_cast<const char*>(data), size));
    ReadAll(texts);

    if (size % 64 == 0 && WriteWholeFile(g_file, data, size)) {
        std::string fromText[kCount];
        for (size_t i = 0; i < kCount; ++i)
            fromText[i] = texts[i];
        LoadStringTable();
        ReadAll(texts);
        for (size_t i = 0; i < kCount; ++i)
            if (fromText[i] != texts[i])
                abort();
    }
    ReleaseStringTable();
    return 0;
}
