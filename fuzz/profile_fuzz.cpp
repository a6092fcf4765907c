// INI values through the native profile reader on arbitrary files: the
// program's own sections and keys, and the pair named on the input's first
// line ("section|key"). Answers fit the buffer and a shorter buffer gives a
// prefix of a longer one; a value written with ProfileWriteString reads back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/File.h"
#include "platform/Profile.h"
#include "platform/TempDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string g_file;

void SetUpOnce()
{
    std::string dir = SystemTempDirectory() + "tlx-fuzz-profile-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    g_file = dir + "/input.ini";
}

// Names the writer can put in a file as given: one line, no "]" in a section,
// no "=" in a key, no blanks around either, not empty.
bool Writable(const std::string& name, bool section)
{
    if (name.empty() || name.front() == ' ' || name.back() == ' ' || name.front() == '\t' || name.back() == '\t')
        return false;
    for (char c : name)
        if (c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\t' || c == '\0' ||
            (section && c == ']') || (!section && (c == '=' || c == '[')))
            return false;
    return true;
}

void Query(const std::string& section, const std::string& key)
{
    std::string whole = ProfileGetString(g_file, section, key, "dflt", 4096);
    for (unsigned size : {1u, 2u, 5u, 260u}) {
        std::string part = ProfileGetString(g_file, section, key, "dflt", size);
        if (part.size() > size - 1 || whole.compare(0, part.size(), part) != 0)
            abort();
    }
    ProfileGetInt(g_file, section, key, -7);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (SetUpOnce(), true);
    (void)ready;
    if (!WriteWholeFile(g_file, data, size))
        return 0;
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string first = input.substr(0, input.find('\n'));
    size_t bar = first.find('|');
    std::string section = bar == std::string::npos ? first : first.substr(0, bar);
    std::string key = bar == std::string::npos ? std::string("Path") : first.substr(bar + 1);

    const std::pair<const char*, const char*> known[] = {
        {"Settings", "Path"},         {"ActiveLang", "ActiveLang"}, {"ActiveConfig", "ActiveGenerateBaseDir"},
        {"Operation", "Packup"},      {"Attribute", "MaxIndex"},    {"STRING", "1"}};
    for (const auto& k : known)
        Query(k.first, k.second);
    Query(section, key);

    if (Writable(section, true) && Writable(key, false)) {
        if (ProfileWriteString(g_file, section, key, "w1") &&
            ProfileGetString(g_file, section, key, "dflt") != "w1")
            abort();
    }
    return 0;
}
