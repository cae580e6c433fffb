#pragma once

// main() of the benchmark programs. Memory freed by one iteration is kept for
// the next (no trimming, no separate mappings for large blocks), so that the
// programs time the work rather than the kernel handing out fresh pages; the
// driver (run-benchmarks.py) measures the whole program, page faults included.

#include <benchmark/benchmark.h>

#include <climits>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#define BRIM_BENCHMARK_MAIN(cleanUp)                                                                          \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        BRIM_KEEP_FREED_MEMORY();                                                                            \
        ::benchmark::Initialize(&argc, argv);                                                                \
        if (::benchmark::ReportUnrecognizedArguments(argc, argv))                                            \
            return 1;                                                                                        \
        ::benchmark::RunSpecifiedBenchmarks();                                                               \
        ::benchmark::Shutdown();                                                                             \
        cleanUp();                                                                                           \
        return 0;                                                                                            \
    }

#ifdef __GLIBC__
#define BRIM_KEEP_FREED_MEMORY()                                                                             \
    do {                                                                                                     \
        mallopt(M_TRIM_THRESHOLD, INT_MAX);                                                                  \
        mallopt(M_MMAP_THRESHOLD, 32 << 20);                                                                 \
    } while (false)
#else
#define BRIM_KEEP_FREED_MEMORY() static_cast<void>(0)
#endif
