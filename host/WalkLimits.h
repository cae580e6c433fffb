#pragma once

#include "host/ExceptionBase.h"
#include "host/Export.h"

#include <cstddef>
#include <functional>
#include <string>

// A study reaches each folder by one way, or by a few through links. A folder
// reached by a thousand ways lies in a tree whose links multiply paths (as
// /sys does): its walk would not end in a lifetime, and its list of paths
// would outgrow any memory long before. Not measured.
constexpr std::size_t defaultMaxWaysPerFolder = 1000;
// Listings read ahead in the parts of the tree the walk has not reached:
// some 1,200,000 of a study's names. On a cold page cache the readers of
// later parts wait for this room while the walk waits for its own part's
// reader: the nested 1,000,000-file study took 6.3 s with 32 MB, 5.8 s with
// 64 MB and 3.8 s with 128 MB (medians of 4, 2 and 4 runs; warm runs and
// the flat study unchanged), for 84 MB more at the peak.
constexpr std::size_t defaultReadAheadBytes = std::size_t(128) << 20;

// How far one walk from a LocalFileInfo root may go, and what it may use.
// Every budget a host may want to set is here; the walk's other tunables are
// in host/private/WalkConfig.h.
struct WalkOptions {
    // Past this many distinct ways (paths through symbolic links) into one
    // folder, children() throws WalkLimitExceeded.
    std::size_t maxWaysPerFolder = defaultMaxWaysPerFolder;
    // Threads that read folders ahead of the walk, kept at that count; 0: one
    // per core (three at most), and more while the reads mostly wait for the
    // file system (as on NFS or Lustre), up to maxReaderThreads.
    std::size_t readerThreads = 0;
    // With readerThreads 0, the most reader threads the reading grows to
    // (beyond those it starts with, also one per three openDescriptors at
    // most); 0: 64.
    std::size_t maxReaderThreads = 0;
    // Descriptors the walk keeps open at once (listings and reading ahead);
    // 0: a quarter of the process's limit (RLIMIT_NOFILE), 160 at most.
    std::size_t openDescriptors = 0;
    // Bytes of listings read ahead of the walk in parts of the tree it has
    // not reached yet.
    std::size_t readAheadBytes = defaultReadAheadBytes;
    // The directories, by their path below the root (components joined by
    // "/"), that the walk leaves out through a wrapper of its own: they are
    // not read ahead, so they are never opened. Called on the reading threads.
    std::function<bool(std::string const& relativePath)> skipDirectory;
};

// Thrown by children() of a folder reached through more ways than the walk's
// WalkOptions::maxWaysPerFolder allows.
class BRIM_HOST_EXPORT WalkLimitExceeded : public norvale::ExceptionBase {
public:
    WalkLimitExceeded(std::string const& folder, std::size_t limit);
};
