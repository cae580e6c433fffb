#pragma once

#include <atomic>
#include <cstddef>
#include <thread>
#include <utility>
#include <vector>

namespace cli {

// Makes the next `bytes` of heap the calling thread allocates cheaper to
// touch. On this kind of machine the first write to a fresh page costs more
// than the work done in it: the library's stages after the crawl (a million
// entries, some 200 MB in pieces of a hundred bytes) spent a third of their
// time in page faults, on one core, while the other core waited.
//
// The constructor takes the memory from malloc on the calling thread, so
// that it lies in that thread's arena, and gives it back at once, keeping one
// small block after it so that malloc does not return it to the system. A
// helper thread then has the kernel map those pages (MADV_POPULATE_WRITE,
// which leaves their contents alone, so it does not matter that malloc
// already hands them out again). Nothing is ever read or written through
// the helper; where the kernel, the C library or the thread is missing,
// the memory is simply faulted in by whoever touches it first. It takes at
// most half the memory free at the time, and nothing under a memory limit
// (ulimit -v, -d).
//
// The destructor stops the helper and waits for it; keep the object for the
// allocations it is meant for.
class HeapWarming {
public:
    explicit HeapWarming(std::size_t bytes);
    ~HeapWarming();

    HeapWarming(HeapWarming const&) = delete;
    HeapWarming& operator=(HeapWarming const&) = delete;

private:
    using Range = std::pair<char*, std::size_t>;
    static void populate(std::vector<Range> ranges, std::atomic<bool> const& stop);

    void* keeper_ = nullptr; // keeps the freed blocks inside the heap
    std::atomic<bool> stop_{false};
    std::thread helper_;
};

} // namespace cli
