// fuzz-max-len: 4096
// INI values through the native profile reader on arbitrary bytes: the
// program's own sections and keys, and the pair named on the input's first
// line ("section|key"). Answers fit the buffer and a shorter buffer gives a
// prefix of a longer one; a value written with ProfileWriteString reads back.
// The bytes are read from memory; one input in 64 (by its length) is also
// written to a file, whose answers and written bytes must be the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
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

struct Answer {
    std::string text;
    int number;
};

Answer Query(std::string_view ini, const std::string& section, const std::string& key)
{
    std::string whole = ProfileGetStringInText(ini, section, key, "dflt", 4096);
    for (unsigned size : {1u, 2u, 5u, 260u}) {
        std::string part = ProfileGetStringInText(ini, section, key, "dflt", size);
        if (part.size() > size - 1 || whole.compare(0, part.size(), part) != 0)
            abort();
    }
    return {whole, ProfileGetIntInText(ini, section, key, -7)};
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (SetUpOnce(), true);
    (void)ready;
    std::string_view ini(reinterpret_cast<const char*>(data), size);
    std::string first(ini.substr(0, ini.find('\n')));
    size_t bar = first.find('|');
    std::string section = bar == std::string::npos ? first : first.substr(0, bar);
    std::string key = bar == std::string::npos ? std::string("Path") : first.substr(bar + 1);

    std::vector<std::pair<std::string, std::string>> asked = {
        {"Settings", "Path"},         {"ActiveLang", "ActiveLang"}, {"ActiveConfig", "ActiveGenerateBaseDir"},
        {"Operation", "Packup"},      {"Attribute", "MaxIndex"},    {"STRING", "1"},
        {section, key}};
    std::vector<Answer> answers;
    for (const auto& a : asked)
        answers.push_back(Query(ini, a.first, a.second));

    std::string written;
    bool writable = Writable(section, true) && Writable(key, false);
    if (writable) {
        written = ProfileWriteStringInText(ini, section, key, "w1");
        if (ProfileGetStringInText(written, section, key, "dflt") != "w1")
            abort();
    }

    // Now and then the same through the file.
    if (size % 64 == 0 && WriteWholeFile(g_file, data, size)) {
        for (size_t i = 0; i < asked.size(); ++i)
            if (ProfileGetString(g_file, asked[i].first, asked[i].second, "dflt", 4096) != answers[i].text ||
                ProfileGetInt(g_file, asked[i].first, asked[i].second, -7) != answers[i].number)
                abort();
        std::vector<unsigned char> bytes;
        if (writable && ProfileWriteString(g_file, section, key, "w1") &&
            (!ReadWholeFile(g_file, bytes) || std::string(bytes.begin(), bytes.end()) != written))
            abort();
    }
    return 0;
}
