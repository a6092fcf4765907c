// The main of a benchmark whose figures depend on where freed memory goes:
// it stays with the process until a round gives it back (malloc_trim).
// Without this, whether it does depends on glibc's moving trim and mmap
// thresholds, and a run's figures jump between the two regimes from one
// build to the next.
#pragma once
#include <benchmark/benchmark.h>

#include <malloc.h>

inline int RunWithFixedAllocator(int argc, char** argv)
{
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
