// The amend file reader and merge on arbitrary texts, in memory: the input is
// a saved amend file and a target amend file, cut at the first "\n====\n" (no
// cut: the same bytes serve as both). Besides never crashing, the merge must
// lose no saved value, keep the target's entries in their order, keep only
// entries the format declares, and give a text that reads back as what was
// merged, and tally what it did as the carry report does. One input in 64
// also goes through the files (MergeAmendFile).
// fuzz-libs: default
// A long run's inputs grew past 3 KB without one edge more than at 1 KB,
// each taking longer: the search stays among the shorter ones.
// fuzz-max-len: 1024
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "../src/params/AmendKeyJoin.cpp"
#include "../src/params/AmendMerge.cpp"
#include "../src/params/CarryReport.cpp"

#include "logs/TraceLog.h"
#include "platform/TempDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

// The target's own checks: their branches are no guide to the reader's, and
// uninstrumented they cost a fraction.
#define CHECK_CODE __attribute__((no_sanitize("coverage")))

namespace {
// Declared members meet excluded ones and members the files may not name.
const char kFormat[] = "struct P { int x; int y; };\n"
                       "field CController {\n"
                       "  int m__df_beginCController; int m_a; double m_b[4]; P m_p; char m_sz[8];\n"
                       "  int m_nxaOffset[2]; int m_nxWorkCoorPubOffset; int m__df_endCController;\n"
                       "};\n"
                       "field COther { int m_c; };\n";
const std::string_view kCut = "\n====\n";

std::string g_dir, g_saved, g_target, g_format;
std::vector<std::string> g_names, g_sortedNames;

void SetUpOnce()
{
    SetTraceFileEnabled(false);
    SetTraceEcho(nullptr);
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
    g_names = parser.m_names;
    g_sortedNames = g_names;
    std::sort(g_sortedNames.begin(), g_sortedNames.end());
}

// Byte by byte rather than through memcmp, whose interception (and the
// comparison hints the fuzzer keeps of it) would cost more than the checks.
CHECK_CODE int Compare(std::string_view a, std::string_view b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

CHECK_CODE bool Equal(std::string_view a, std::string_view b) { return a.size() == b.size() && Compare(a, b) == 0; }

CHECK_CODE bool Declared(std::string_view name)
{
    size_t lo = 0, hi = g_sortedNames.size();
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        int c = Compare(g_sortedNames[mid], name);
        if (c == 0)
            return true;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return false;
}

// What the filter must keep: the header, and members the format declares and
// the merge does not exclude. A character array is declared element by
// element but saved as one quoted text under its bare name.
CHECK_CODE bool Kept(const AmendEntry& e)
{
    if (Equal(e.key, kControllerHeader))
        return true;
    std::string_view top = TopLevelView(e.key);
    if (IsExcludedView(top))
        return false;
    if (Declared(top))
        return true;
    const std::string& v = e.value;
    return top.size() == e.key.size() && top.find('[') == std::string_view::npos && v.size() >= 2 &&
           v.front() == '"' && v.back() == '"' && Declared(std::string(top) + "[0]");
}

CHECK_CODE bool Before(const AmendEntry* a, const AmendEntry* b)
{
    int c = Compare(a->key, b->key);
    return c != 0 ? c < 0 : Compare(a->value, b->value) < 0;
}

// Whether every entry of part is in whole at least as often: both sorted,
// then walked once.
CHECK_CODE bool ContainsAll(const AmendEntries& whole, const AmendEntries& part)
{
    if (part.size() > whole.size())
        return false;
    static std::vector<const AmendEntry*> w, p;
    w.clear();
    p.clear();
    for (const auto& e : whole)
        w.push_back(&e);
    for (const auto& e : part)
        p.push_back(&e);
    std::sort(w.begin(), w.end(), Before);
    std::sort(p.begin(), p.end(), Before);
    return std::includes(w.begin(), w.end(), p.begin(), p.end(), Before);
}

CHECK_CODE bool SameEntry(const AmendEntry& a, const AmendEntry& b)
{
    return Equal(a.key, b.key) && Equal(a.value, b.value);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool ready = (SetUpOnce(), true);
    (void)ready;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t cut = input.find(kCut);
    const std::string_view saved = input.substr(0, cut);
    const std::string_view target = cut == std::string_view::npos ? input : input.substr(cut + kCut.size());

    AmendEntries old = ParseAmendEntries(saved);
    AmendEntries controller, other;
    ParseControllerSection(target, controller, other);
    const AmendEntries oldCopy = old;
    const size_t targetCount = controller.size();
    std::vector<std::string> targetKeys;
    targetKeys.reserve(targetCount);
    for (const auto& e : controller)
        targetKeys.push_back(e.key);

    MergeEntries(controller, old);
    // The target's keys first, in order; every saved entry is somewhere.
    if (!old.empty() || controller.size() < targetCount)
        abort();
    for (size_t i = 0; i < targetCount; ++i)
        if (!Equal(controller[i].key, targetKeys[i]))
            abort();
    if (!ContainsAll(controller, oldCopy))
        abort();

    // The filter keeps exactly the entries that must be kept, in their order.
    AmendEntries expected;
    for (const auto& e : controller)
        if (Kept(e))
            expected.push_back(e);
    if (!controller.empty())
        FilterByNames(g_names, controller);
    if (controller.size() != expected.size())
        abort();
    for (size_t i = 0; i < expected.size(); ++i)
        if (!SameEntry(controller[i], expected[i]))
            abort();

    // What is written reads back entry for entry.
    const std::string text = FormatEntries(controller) + FormatEntries(other);
    const AmendEntries back = ParseAmendEntries(text);
    if (back.size() != controller.size() + other.size())
        abort();
    for (size_t i = 0; i < back.size(); ++i)
        if (!SameEntry(back[i], i < controller.size() ? controller[i] : other[i - controller.size()]))
            abort();

    // The whole merge in memory gives exactly that text (the fixed format's
    // names scanned once; the file merge below scans them itself).
    static std::string inMemory;
    MergeTally tally;
    MergeAmendTextByNames(saved, target, g_names, inMemory, &tally);
    if (!Equal(inMemory, text))
        abort();
    // Its tally is the carry report of the same inputs.
    const CarryReport report = BuildCarryReport("fuzz", saved, target, g_names);
    auto same = [](const AmendEntries& a, const AmendEntries& b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (!SameEntry(a[i], b[i]))
                return false;
        return true;
    };
    if (tally.carried != report.carried || !same(tally.dropped, report.dropped) || !same(tally.added, report.added))
        abort();

    // Now and then through the files: the target becomes exactly that text.
    if (size % 64 == 0 && WriteWholeFile(g_saved, saved.data(), saved.size()) &&
        WriteWholeFile(g_target, target.data(), target.size()) &&
        MergeAmendFile(g_saved, g_target, g_format) == MergeResult::merged) {
        std::vector<unsigned char> bytes;
        if (!ReadWholeFile(g_target, bytes) || std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                                                 bytes.size()) != text)
            abort();
    }
    return 0;
}
