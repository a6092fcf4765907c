// MergeAmendFile on files of N entries each (the saved file and the target,
// half of the keys shared, a format declaring them all): entries per second
// at 100 000 and 200 000, so that the two times show the growth is linear.
// Beside it, reading and rewriting the same two files without a merge.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "logs/TraceLog.h"
#include "params/AmendMerge.h"
#include "platform/File.h"
#include "platform/TempDirectory.h"

#include <malloc.h>
#include <unistd.h>

namespace {
struct AmendFiles {
    std::string saved, target, format, work;
    std::string savedText, targetText;

    explicit AmendFiles(int n)
    {
        SetTraceFileEnabled(false);
        std::string base = SystemTempDirectory() + "amend_file_bench-" + std::to_string(getpid()) + "-" +
                           std::to_string(n);
        saved = base + "-saved.dat";
        target = base + "-amend.dat";
        work = base + "-work.dat";
        format = base + ".fmt";
        // Members 0..n-1 in the target, n/2..n/2+n-1 in the saved file.
        std::string fmt = "field CController\n{\n";
        for (int i = 0; i < n + n / 2; ++i)
            fmt += "    int m_n" + std::to_string(i) + ";\n";
        fmt += "};\n";
        WriteWholeFile(format, fmt.data(), fmt.size());
        savedText = targetText = "[CController]\r\n";
        for (int i = 0; i < n; ++i) {
            targetText += "m_n" + std::to_string(i) + " = 0\r\n";
            savedText += "m_n" + std::to_string(i + n / 2) + " = " + std::to_string(i) + "\r\n";
        }
        WriteWholeFile(saved, savedText.data(), savedText.size());
    }
    ~AmendFiles()
    {
        remove(saved.c_str());
        remove(target.c_str());
        remove(work.c_str());
        remove(format.c_str());
    }
};

void BM_MergeAmendFile(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    AmendFiles files(n);
    for (auto _ : state) {
        state.PauseTiming();
        WriteWholeFile(files.target, files.targetText.data(), files.targetText.size());
        // Each merge starts with its memory fresh, as in the setup, which
        // merges once per run: otherwise whether the heap keeps the last
        // merge's pages depends on the allocator's thresholds and differs
        // between the two sizes.
        malloc_trim(0);
        state.ResumeTiming();
        if (MergeAmendFile(files.saved, files.target, files.format) != MergeResult::merged) {
            state.SkipWithError("merge failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 2 * n);
}
BENCHMARK(BM_MergeAmendFile)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same two files read line by line and one written back: the file work
// any merge has to do.
void BM_ReadWriteAmendFiles(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    AmendFiles files(n);
    WriteWholeFile(files.target, files.targetText.data(), files.targetText.size());
    for (auto _ : state) {
        std::string text;
        for (const std::string* path : {&files.saved, &files.target}) {
            TextFile in;
            if (!in.Open(*path, BinaryFile::modeRead))
                state.SkipWithError("open failed");
            std::string line;
            while (in.ReadString(line))
                text += line + "\r\n";
        }
        WriteWholeFile(files.work, text.data(), text.size());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 2 * n);
}
BENCHMARK(BM_ReadWriteAmendFiles)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

BENCHMARK_MAIN();
