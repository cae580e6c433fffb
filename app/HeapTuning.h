#pragma once

namespace cli {

// Tunes malloc for a big crawl, before anything else runs: one arena for all
// threads (the crawl's worker allocates the path list, the main thread then
// reuses the memory the crawler frees) and heap growth in large steps. Where
// transparent huge pages are given on request only, the program starts
// itself again once, with glibc asked (GLIBC_TUNABLES) to request them for
// the heap: a million-file crawl allocates hundreds of megabytes in pieces
// of a hundred bytes, and on virtual machines a page fault per 4 KiB costs
// more than the work. Nothing happens when GLIBC_TUNABLES is already set.
void tuneHeap(char** argv);

} // namespace cli
