// The amend file reader and merge on arbitrary texts, in memory: the input is
// a saved amend file and a target amend file, cut at the first "\n====\n" (no
// cut: the same bytes serve as both). Besides never crashing, the merge must
// lose no saved value, keep the target's entries in their order, keep only
// entries the format declares, and give a text that reads back as what was
// merged. One input in 64 also goes through the files (MergeAmendFile).
// fuzz-libs: default
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "../src/params/AmendKeyJoin.cpp"
#include "../src/params/AmendMerge.cpp"

#include "logs/TraceLog.h"
#include "platform/TempDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {
// Declared members meet excluded ones and members the files may not name.
const char kFormat[] = "struct P { int x; int y; };\n"
                       "field CController {\n"
                       "  int m__df_beginCController; int m_a; double m_b[4]; P m_p; char m_sz[8];\n"
                       "  int m_nxaOffset[2]; int m_nxWorkCoorPubOffset; int m__df_endCController;\n"
                       "};\n"
                       "field COther { int m_c; };\n";
const char kCut[] = "\n====\n";

std::string g_dir, g_saved, g_target, g_format;
std::unordered_set<std::string> g_declared;

void SetUpOnce()
{
    SetTraceFileEnabled(false);
    SetTraceEcho(nullptr);
    SetMessageHandler([](const std::string&, unsigned) { return IDOK; });
    g_dir = SystemTempDirectory() + "tlx-fuzz-amend-" + std::to_string(getpid());
    mkdir(g_dir.c_str(), 0700);
    g_saved = g_dir + "/saved.dat";
    g_target = g_dir + "/amend.dat";
    g_format = g_dir + "/tornelix.fmt";
    WriteWholeFile(g_format, kFormat, sizeof kFormat - 1);
    CFmtNameParser parser;
    parser.SetFieldName("CController");
    if (!parser.Scan(g_format) || parser.m_names.empty())
        abort();
    g_declared.insert(parser.m_names.begin(), parser.m_names.end());
}

using Pair = std::pair<std::string, std::string>;

std::map<Pair, int> Count(const AmendEntries& entries)
{
    std::map<Pair, int> counts;
    for (const auto& e : entries)
        ++counts[{e.key, e.value}];
    return counts;
}

bool SameEntries(const AmendEntries& a, const AmendEntries& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].key != b[i].key || a[i].value != b[i].value)
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (SetUpOnce(), true);
    (void)ready;
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t cut = input.find(kCut);
    std::string saved = input.substr(0, cut);
    std::string target = cut == std::string::npos ? input : input.substr(cut + sizeof kCut - 1);

    AmendEntries old = ParseAmendEntries(saved);
    AmendEntries controller, other;
    ParseControllerSection(target, controller, other);
    const AmendEntries oldCopy = old, targetCopy = controller;

    MergeEntries(controller, old);
    // The target's keys first, in order; every saved entry is somewhere.
    if (!old.empty() || controller.size() < targetCopy.size())
        abort();
    for (size_t i = 0; i < targetCopy.size(); ++i)
        if (controller[i].key != targetCopy[i].key)
            abort();
    std::map<Pair, int> merged = Count(controller);
    for (const auto& wanted : Count(oldCopy))
        if (merged[wanted.first] < wanted.second)
            abort();

    AmendEntries beforeFilter = controller;
    static const std::vector<std::string> declaredNames(g_declared.begin(), g_declared.end());
    if (!controller.empty())
        FilterByNames(declaredNames, controller);
    // A subsequence, every kept key declared, headers and declared members never dropped.
    size_t j = 0;
    for (const auto& e : beforeFilter) {
        std::string top = TopLevelMember(e.key);
        // A quoted value under the bare name of a declared array is its text.
        bool quotedText = e.key == top && top.find('[') == std::string::npos && e.value.size() >= 2 &&
                          e.value.front() == '"' && e.value.back() == '"' && g_declared.count(top + "[0]");
        bool keep = e.key == kControllerHeader ||
                    (!IsExcludedMember(top) && (g_declared.count(top) || quotedText));
        bool kept = j < controller.size() && controller[j].key == e.key && controller[j].value == e.value;
        if (keep != kept)
            abort();
        if (kept)
            ++j;
    }
    if (j != controller.size())
        abort();

    // What is written reads back entry for entry.
    std::string text = FormatEntries(controller) + FormatEntries(other);
    AmendEntries all = controller;
    all.insert(all.end(), other.begin(), other.end());
    if (!SameEntries(ParseAmendEntries(text), all))
        abort();

    // The whole merge in memory gives exactly that text.
    std::string inMemory;
    if (MergeAmendText(saved, target, kFormat, g_format, inMemory) != MergeResult::merged || inMemory != text)
        abort();

    // Now and then through the files: the target becomes exactly that text.
    if (size % 64 == 0 && WriteWholeFile(g_saved, saved.data(), saved.size()) &&
        WriteWholeFile(g_target, target.data(), target.size()) &&
        MergeAmendFile(g_saved, g_target, g_format) == MergeResult::merged) {
        std::vector<unsigned char> bytes;
        if (!ReadWholeFile(g_target, bytes) || std::string(bytes.begin(), bytes.end()) != text)
            abort();
    }
    return 0;
}
