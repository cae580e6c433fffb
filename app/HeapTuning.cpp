#include "HeapTuning.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <malloc.h>
#include <string>
#include <unistd.h>

namespace cli {
namespace {

// "always [madvise] never": huge pages only for memory that asks for them.
bool hugePagesOnRequestOnly()
{
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string const text((std::istreambuf_iterator<char>(setting)), std::istreambuf_iterator<char>());
    return text.find("[madvise]") != std::string::npos;
}

} // namespace

void tuneHeap(char** argv)
{
#ifdef M_ARENA_MAX
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_TOP_PAD, 64 << 20);
#endif
#ifdef __GLIBC__
    if (std::getenv("GLIBC_TUNABLES") != nullptr || !hugePagesOnRequestOnly())
        return;
    // Read when a program starts, so only a new start takes it; if that
    // fails, the program goes on as it is.
    if (setenv("GLIBC_TUNABLES", "glibc.malloc.hugetlb=1", 1) == 0)
        execv("/proc/self/exe", argv);
    unsetenv("GLIBC_TUNABLES");
#else
    static_cast<void>(argv);
#endif
}

} // namespace cli
