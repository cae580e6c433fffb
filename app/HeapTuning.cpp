#include "HeapTuning.h"

#include <climits>
#include <initializer_list>

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/resource.h>
#endif

namespace cli {

bool memoryLimited()
{
#ifdef __GLIBC__
    for (int const resource : {RLIMIT_AS, RLIMIT_DATA}) {
        rlimit limit{};
        if (getrlimit(resource, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY)
            return true;
    }
#endif
    return false;
}

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
