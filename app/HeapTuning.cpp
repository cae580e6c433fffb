#include "HeapTuning.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace cli {

void tuneHeap()
{
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    // Vectors of a few million entries come from the heap too.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);

    // A small allocation that does not fit the heap's free end makes malloc
    // extend the heap by it plus the top pad; freed, it leaves that much free
    // space at the end of the heap, not yet touched. (volatile: the pair
    // must not be optimised away.)
    mallopt(M_TOP_PAD, 1 << 30);
    auto const* const before = static_cast<char const*>(sbrk(0));
    void* volatile block = std::malloc(1 << 20);
    std::free(block);
    auto* const after = static_cast<char*>(sbrk(0));
    mallopt(M_TOP_PAD, 64 << 20);

    std::uintptr_t const hugePage = 2 << 20;
    auto* const start = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(before) + hugePage - 1) &
                                                ~(hugePage - 1));
    if (before != reinterpret_cast<char const*>(-1) && after > start)
        madvise(start, static_cast<std::size_t>(after - start), MADV_HUGEPAGE);
#endif
}

} // namespace cli
