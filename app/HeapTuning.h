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
// of it, malloc works as usual.
void tuneHeap();

} // namespace cli
