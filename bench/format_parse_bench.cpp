// Parsing a large format file: a CController field block of 100 000 members
// (scalars, arrays, structure members, annotations) with the full parser and
// with the name scan. Reports members per second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "logs/TraceLog.h"
#include "format/FmtNameParser.h"
#include "format/FormatParser.h"
#include "platform/File.h"
#include "platform/TempDirectory.h"

#include <unistd.h>

#include "FixedAllocatorMain.h"

namespace {
const int kMembers = 100000;

// Written once per process, removed at exit.
class GeneratedFormat {
public:
    GeneratedFormat()
    {
        m_path = SystemTempDirectory() + "format_parse_bench-" + std::to_string(getpid()) + ".fmt";
        std::string text = "#pragma pack(4)\n"
                           "struct CAxis /* -r 10 */ { double m_dLimit /* -n 'Limit' -u mm -g 0 */; DWORD m_dwFlags; "
                           "char m_szName[16]; };\n"
                           "field CController\n{\n";
        text.reserve(static_cast<size_t>(kMembers) * 48);
        const char* types[] = {"int", "DWORD", "double", "unsigned short", "BYTE", "CAxis", "guard_t", "char"};
        for (int i = 0; i < kMembers; ++i) {
            const char* type = types[i % 8];
            text += "    ";
            text += type;
            text += " m_member" + std::to_string(i);
            if (i % 8 == 4 || i % 8 == 7)
                text += "[8]";
            if (i % 3 == 0)
                text += " /* -n 'Member " + std::to_string(i) + "' -u mm -g " + std::to_string(i) + " */";
            text += ";\n";
        }
        text += "};\n";
        WriteWholeFile(m_path, text.data(), text.size());
    }
    ~GeneratedFormat() { remove(m_path.c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

const std::string& FormatPath()
{
    static GeneratedFormat format;
    return format.Path();
}
} // namespace

static void BM_ParseFormat(benchmark::State& state)
{
    SetTraceFileEnabled(false);
    const std::string& path = FormatPath();
    for (auto _ : state) {
        CFormatParser parser;
        if (!parser.Parse(path) || parser.m_fieldTypes.size() != 1 ||
            parser.m_fieldTypes[0]->m_members.size() != static_cast<size_t>(kMembers)) {
            state.SkipWithError("the generated format did not parse");
            break;
        }
        benchmark::DoNotOptimize(parser.m_fieldTypes[0]->m_pSize);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kMembers);
    state.counters["members/s"] =
        benchmark::Counter(static_cast<double>(kMembers), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ParseFormat)->Unit(benchmark::kMillisecond);

static void BM_ScanNames(benchmark::State& state)
{
    SetTraceFileEnabled(false);
    const std::string& path = FormatPath();
    for (auto _ : state) {
        CFmtNameParser parser;
        if (!parser.Scan(path) || !parser.m_bFieldFound) {
            state.SkipWithError("the generated format did not scan");
            break;
        }
        benchmark::DoNotOptimize(parser.m_names.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kMembers);
    state.counters["members/s"] =
        benchmark::Counter(static_cast<double>(kMembers), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ScanNames)->Unit(benchmark::kMillisecond);

// Reference: the same file read line by line through TextFile, the reader
// the tokenizer sits on, with nothing parsed.
static void BM_ReadFormatLines(benchmark::State& state)
{
    const std::string& path = FormatPath();
    for (auto _ : state) {
        TextFile file;
        if (!file.Open(path, BinaryFile::modeRead)) {
            state.SkipWithError("the generated format did not open");
            break;
        }
        std::string line;
        size_t bytes = 0;
        while (file.ReadString(line))
            bytes += line.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kMembers);
    state.counters["members/s"] =
        benchmark::Counter(static_cast<double>(kMembers), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadFormatLines)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // Each parse meets memory the last one freed, as the reference's reads
    // do: the model's member list is not given back and touched afresh
    // in every round.
    return RunWithFixedAllocator(argc, argv);
}
