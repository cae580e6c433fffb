#pragma once

namespace cli {

// Prepares malloc for a big crawl; call it first in main(). A million-file
// import allocates some 300 MB in pieces of a hundred bytes: malloc asks the
// system for memory in steps of 64 MiB instead of a page at a time, never
// gives it back before the end, and serves vectors of a few million entries
// from its heaps too. The heaps are not
// marked for transparent huge pages: on virtual machines that hand free
// memory back to the host in large blocks (free page reporting), a fresh
// 2 MiB page is one the host must supply again, and huge-page heaps made a
// million-file crawl a sixth slower. Where the address space or the heap is
// limited (ulimit -v, -d), malloc works as usual.
void tuneHeap();

// Whether the address space or the heap is limited (ulimit -v, -d): then a
// heap grown ahead would hit the limit long before the memory in use does.
bool memoryLimited();

} // namespace cli
