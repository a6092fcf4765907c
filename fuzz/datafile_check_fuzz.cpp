// The whole-file check of parameter data files on arbitrary bytes: a data
// file and its ".bak" backup, cut at the first "\n====\n" (no cut: no backup).
// A file passed as whole is left as it was, a restored one equals its
// backup, a refused pair is left untouched; then the block read after it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "../src/params/DataFileVerification.cpp"

#include "logs/TraceLog.h"
#include "platform/TempDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {
const char kCut[] = "\n====\n";
std::string g_data, g_backup;

void SetUpOnce()
{
    SetTraceFileEnabled(false);
    SetTraceEcho(nullptr);
    std::string dir = SystemTempDirectory() + "tlx-fuzz-datacheck-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    g_data = dir + "/tornelix.dat";
    g_backup = g_data + ".bak";
}

std::string Contents(const std::string& path)
{
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes))
        return "<unreadable>";
    return std::string(bytes.begin(), bytes.end());
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (SetUpOnce(), true);
    (void)ready;
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t cut = input.find(kCut);
    std::string file = input.substr(0, cut);
    remove(g_backup.c_str());
    if (!WriteWholeFile(g_data, file.data(), file.size()))
        return 0;
    std::string backup;
    if (cut != std::string::npos) {
        backup = input.substr(cut + sizeof kCut - 1);
        if (!WriteWholeFile(g_backup, backup.data(), backup.size()))
            return 0;
    }

    DataFileCheck check = CheckDataFile(g_data);
    std::string after = Contents(g_data);
    switch (check) {
    case DataFileCheck::whole:
        if (after != file)
            abort();
        break;
    case DataFileCheck::restored:
        if (cut == std::string::npos || after != backup || !IsDataFileWhole(g_data))
            abort();
        break;
    case DataFileCheck::failed:
        if (after != file)
            abort();
        break;
    }
    std::vector<unsigned char> bytes;
    if (!ExtractParameters(g_data, "CController", bytes) && !bytes.empty())
        abort();
    return 0;
}
