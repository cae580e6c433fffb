#pragma once

#include "host/DirectoryListing.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace localfile {

// Reads the directories of a tree ahead of a walk that enters them
// depth-first, each one's entries in name order (as FolderCrawler does). The
// walk's children() calls take the reads in that order; the walk then spends
// no time in system calls, and the reads of a cold tree overlap its work.
//
// The reading is shared by a few threads: an idle one asks, and a busy one
// hands over the folders it has yet to enter nearest the top of its walk, as
// a part of its own that comes after everything it still reads. Reads wait
// for the walk in the order of the parts. The part the walk is in runs a few
// directories ahead; the later parts as far as a memory budget allows.
//
// A read not taken in order is dropped once the walk has gone past it; a
// directory not read ahead is read by the walk as usual.
class DirectoryReader {
public:
    // Whether the walk leaves out a directory, by its path relative to the root.
    using Skip = std::function<bool(std::string const& relativePath)>;

    // Starts reading the `directories` of `root` (the walk has listed the
    // root itself), in their order, and those below them but for the ones
    // `skip` (if set) names; null if that cannot be started.
    static std::shared_ptr<DirectoryReader> start(std::string root, std::vector<std::string> directories,
                                                  Skip skip = Skip());

    DirectoryReader() = default;
    DirectoryReader(DirectoryReader const&) = delete;
    DirectoryReader& operator=(DirectoryReader const&) = delete;
    ~DirectoryReader();

    // The read of the directory at `path`, if it was read ahead.
    std::optional<DirectoryRead> take(std::string const& path);

private:
    struct Origin {
        dev_t device;
        ino_t inode;
    };

    // A folder being walked by a reading thread.
    struct Level {
        int fd;
        std::string path;
        dev_t device;
        ino_t inode;
        std::vector<std::string> directories; // to enter, in order
        std::size_t next;
    };

    // A part of the walk: the `directories` of the folder open at `fd` and
    // everything below them, and the reads made of them so far.
    struct Part {
        int fd;
        std::string path;
        dev_t device;
        ino_t inode;
        std::vector<Origin> above; // the folders above this one, from the root
        std::vector<std::string> directories;
        std::size_t depth; // of the folder, below the root
        std::deque<DirectoryRead> ready;
        bool started = false;
        bool finished = false;
    };
    using Parts = std::list<Part>;

    void work();
    bool walkPart(Parts::iterator part);
    void handOver(Parts::iterator part, std::vector<Level>& levels);
    bool readDirectory(Parts::iterator part, int parent, std::string path, std::vector<Level>& levels,
                       char const* name);
    bool publish(Parts::iterator part, DirectoryRead&& read);

    std::mutex mutex_;
    std::condition_variable taken_; // the walk waits on it for reads
    std::condition_variable room_;  // readers wait on it for room for theirs
    std::condition_variable idle_;  // readers wait on it for a part to read
    Parts parts_;                   // in walk order; the walk is in the first
    std::size_t queuedBytes_ = 0;   // of the reads in all parts
    std::size_t running_ = 0;       // parts being read
    std::size_t readersWaiting_ = 0;
    bool takerWaiting_ = false;
    bool stopping_ = false;
    std::atomic<bool> partWanted_{false}; // an idle reader asks for a part
    Skip skip_;
    std::size_t rootLength_ = 0; // of the root's path and the separator after it
    std::vector<std::thread> threads_;
};

} // namespace localfile
