#pragma once

namespace cli {

// Prepares malloc for a big crawl; call it first in main(). A million-file
// import allocates some 300 MB in pieces of a hundred bytes, and on virtual
// machines a page fault per 4 KiB page costs more than the work done in the
// page. So the heap is grown by 1 GiB at once (address space only; memory is
// used as it is touched) and that range is marked for transparent huge pages,
// which the kernel then backs 2 MiB at a time; the heap is never trimmed.
// (The crawl's two threads keep arenas of their own: sharing one costs them
// more in waiting for its lock than it saves.) Where the system refuses any
// of it, or limits the address space or the heap (ulimit -v, -d), malloc
// works as usual.
void tuneHeap();

// The crawl's threads allocate from heaps of their own, which malloc marks
// for huge pages only when its tunable glibc.malloc.hugetlb=1 is given, and
// it reads its tunables once, when a program starts (from GLIBC_TUNABLES).
// Page faults on those heaps are a third of a big crawl's time on virtual
// machines, so a program started without the tunable starts itself again,
// once, with it (some 30 ms). It does not when GLIBC_TUNABLES already names
// glibc.malloc.hugetlb (=0 turns this off), when memory is limited (ulimit
// -v, -d), when huge pages are off, under
// valgrind or a sanitizer, or when the program cannot be found again; then
// it simply goes on. Call it first in main().
void restartWithHugePageHeaps(char** argv);

} // namespace cli
