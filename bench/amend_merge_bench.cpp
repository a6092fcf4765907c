// Merging large controller sections: the new amend.dat and the saved one
// with N members each, half of them shared. Reports entries per second.
#include <benchmark/benchmark.h>

#include <string>

#include "params/AmendMerge.h"

static void BM_MergeEntries(benchmark::State& state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    AmendEntries controllerTemplate, oldTemplate;
    controllerTemplate.push_back({kControllerHeader, ""});
    oldTemplate.push_back({kControllerHeader, ""});
    for (size_t i = 0; i < n; ++i) {
        controllerTemplate.push_back({"m_new" + std::to_string(i % (n / 2 + 1)) + "[" + std::to_string(i) + "]", "1"});
        oldTemplate.push_back({"m_new" + std::to_string((i + n / 4) % (n / 2 + 1)) + "[" + std::to_string(i) + "]",
                               "2"});
    }
    for (auto _ : state) {
        AmendEntries controller = controllerTemplate;
        AmendEntries old = oldTemplate;
        MergeEntries(controller, old);
        benchmark::DoNotOptimize(controller.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(2 * n));
}
BENCHMARK(BM_MergeEntries)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
