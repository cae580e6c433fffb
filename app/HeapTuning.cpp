#include "HeapTuning.h"

#include <climits>
#include <initializer_list>

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/resource.h>
#endif

namespace cli {
namespace {

#ifdef __GLIBC__
// Whether the address space or the heap is limited (ulimit -v, -d): then a
// heap grown ahead in large steps would hit the limit long before the memory
// in use does.
bool memoryLimited()
{
    for (int const resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit{};
        if (getrlimit(resource, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY)
            return true;
    }
    return false;
}
#endif

} // namespace

void tuneHeap()
{
#ifdef __GLIBC__
    if (memoryLimited())
        return;
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TOP_PAD, 64 << 20);
#endif
}

} // namespace cli
