#include "HeapWarming.h"

#include "HeapTuning.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <system_error>
#include <vector>

#if defined(__GLIBC__) && defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace cli {
namespace {

#if defined(__GLIBC__) && defined(__linux__) && defined(MADV_POPULATE_WRITE)
// Below glibc's smallest mmap threshold, so that every block comes from a
// heap, and large enough that taking them costs next to nothing.
constexpr std::size_t BLOCK_BYTES = 64 << 10;
// The helper checks for a stop between steps this large (a millisecond or so).
constexpr std::size_t STEP_BYTES = 4 << 20;

// Never more than half the memory free now: warming must not push anything
// out to swap.
std::size_t warmableBytes(std::size_t bytes)
{
    long const pages = sysconf(_SC_AVPHYS_PAGES);
    long const pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return std::min(bytes, static_cast<std::size_t>(pages) / 2 * static_cast<std::size_t>(pageSize));
}
#endif

} // namespace

HeapWarming::HeapWarming(std::size_t bytes)
{
#if defined(__GLIBC__) && defined(__linux__) && defined(MADV_POPULATE_WRITE)
    if (memoryLimited())
        return; // near a limit memory is not taken ahead
    bytes = warmableBytes(bytes);
    if (bytes < STEP_BYTES)
        return; // not worth a thread
    std::vector<Range> ranges;
    std::vector<void*> blocks;
    try {
        blocks.reserve(bytes / BLOCK_BYTES + 1);
        ranges.reserve(blocks.capacity());
    } catch (std::bad_alloc const&) {
        return;
    }
    for (std::size_t taken = 0; taken < bytes; taken += BLOCK_BYTES) {
        void* const block = std::malloc(BLOCK_BYTES);
        if (block == nullptr)
            break;
        blocks.push_back(block);
    }
    if (blocks.empty())
        return;
    // The last block taken comes from the top of the heap once the free
    // chunks before it are used up: kept, it keeps the others from merging
    // into the top, which malloc would give back to the system.
    keeper_ = blocks.back();
    blocks.pop_back();
    std::uintptr_t const page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    for (void* const block : blocks) {
        // Whole pages, malloc's bookkeeping at either end included: populating
        // leaves what a page holds as it is.
        std::uintptr_t const start = reinterpret_cast<std::uintptr_t>(block);
        char* const from = reinterpret_cast<char*>(start & ~(page - 1));
        char* const to = reinterpret_cast<char*>((start + BLOCK_BYTES + page - 1) & ~(page - 1));
        if (!ranges.empty() && ranges.back().first + ranges.back().second >= from &&
            ranges.back().first <= from)
            ranges.back().second =
                std::max(ranges.back().second, static_cast<std::size_t>(to - ranges.back().first));
        else
            ranges.emplace_back(from, static_cast<std::size_t>(to - from));
        std::free(block);
    }
    if (ranges.empty())
        return;
    try {
        helper_ = std::thread(&HeapWarming::populate, std::move(ranges), std::cref(stop_));
    } catch (std::system_error const&) {
        // No thread to be had: the pages are faulted in as they are used.
    }
#else
    (void)bytes;
#endif
}

HeapWarming::~HeapWarming()
{
    stop_ = true;
    if (helper_.joinable())
        helper_.join();
    std::free(keeper_);
}

void HeapWarming::populate(std::vector<Range> ranges, std::atomic<bool> const& stop)
{
#if defined(__GLIBC__) && defined(__linux__) && defined(MADV_POPULATE_WRITE)
    for (Range const& range : ranges) {
        for (std::size_t done = 0; done < range.second; done += STEP_BYTES) {
            if (stop)
                return;
            std::size_t const length = std::min(STEP_BYTES, range.second - done);
            // Kernels before 5.14 do not know the advice (EINVAL): then there
            // is nothing to do. Any other failure concerns this range alone.
            if (madvise(range.first + done, length, MADV_POPULATE_WRITE) != 0) {
                if (errno == EINVAL)
                    return;
                break;
            }
        }
    }
#else
    (void)ranges;
    (void)stop;
#endif
}

} // namespace cli
