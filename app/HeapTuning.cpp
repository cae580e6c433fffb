#include "HeapTuning.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace cli {
namespace {

#ifdef __GLIBC__
// Whether the address space or the heap is limited (ulimit -v, -d): then a
// heap grown ahead in large steps would hit the limit long before the memory
// in use does, and a program started again might not fit at all.
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
    auto* const start =
        reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(before) + hugePage - 1) & ~(hugePage - 1));
    if (before != reinterpret_cast<char const*>(-1) && after > start)
        madvise(start, static_cast<std::size_t>(after - start), MADV_HUGEPAGE);
#endif
}

void restartWithHugePageHeaps(char** argv)
{
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    char const* const given = std::getenv("GLIBC_TUNABLES");
    bool const hadTunables = given != nullptr;
    std::string const original = hadTunables ? given : "";
    std::string tunables = original;
    if (tunables.find("glibc.malloc.hugetlb") != std::string::npos || memoryLimited())
        return;
    char const* const preload = std::getenv("LD_PRELOAD");
    if (preload != nullptr && std::string(preload).find("vgpreload") != std::string::npos)
        return; // valgrind: a new program would run outside it
    std::string mode;
    std::getline(std::ifstream("/sys/kernel/mm/transparent_hugepage/enabled"), mode);
    if (mode.find("[never]") != std::string::npos || mode.empty())
        return;
    char self[PATH_MAX];
    ssize_t const length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return;
    self[length] = '\0';

    if (!tunables.empty())
        tunables += ':';
    tunables += "glibc.malloc.hugetlb=1";
    if (setenv("GLIBC_TUNABLES", tunables.c_str(), 1) != 0)
        return;
    execv(self, argv);
    // Still here: go on as started.
    if (hadTunables)
        setenv("GLIBC_TUNABLES", original.c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
#else
    static_cast<void>(argv);
#endif
}

} // namespace cli
