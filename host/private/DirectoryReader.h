#pragma once

#include "host/private/DirectoryListing.h"
#include "support/DescriptorBudget.h"
#include "support/ThreadSafety.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
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
//
// Started with one thread per core, the reading adds threads while its reads
// spend most of their time waiting for the file system (a cluster file
// system answers each request in 0.1 to a few milliseconds): then the
// threads' requests overlap. Reads of a warm local disk never wait, and stay
// on the first few threads.
class DirectoryReader {
public:
    // Whether the walk leaves out a directory, by its path relative to the root.
    using Skip = std::function<bool(std::string const& relativePath)>;

    // Starts reading the `directories` of `root` (the walk has listed the
    // root itself), in their order, on `threads` threads (0: one per core,
    // a few at most, and more while reads wait for the file system, up to
    // `maxThreads` when that is not 0), keeping open what `descriptors`
    // allows and queueing `queueBytes` of reads in the parts the walk has not
    // reached; null if that cannot be started. See host/private/WalkConfig.h.
    static std::unique_ptr<DirectoryReader> start(std::string root, std::vector<std::string> directories,
                                                  support::DescriptorBudget& descriptors, std::size_t threads,
                                                  std::size_t queueBytes, Skip skip = Skip(),
                                                  std::size_t maxThreads = 0);

    DirectoryReader(support::DescriptorBudget& descriptors, std::size_t queueBytes);
    DirectoryReader(DirectoryReader const&) = delete;
    DirectoryReader& operator=(DirectoryReader const&) = delete;
    ~DirectoryReader();

    // The read of the directory at `path`, if it was read ahead.
    //
    // The reads follow one walk: one position in one order. One call takes
    // at a time; a call made while another takes (a second walk of the same
    // entries, on another thread) gets nothing and reads for itself rather
    // than wait on an order that is not its own.
    std::optional<DirectoryRead> take(std::string const& path);

    // Reads nothing more ahead: the threads end, closing every descriptor
    // they keep; what was read can still be taken. Any thread, any number
    // of times.
    void stop();

private:
    struct Origin {
        dev_t device;
        ino_t inode;
    };

    // A folder being walked by a reading thread.
    struct Level {
        support::KeptDescriptor fd; // empty when the folder is reached by its path
        std::string path;
        dev_t device;
        ino_t inode;
        std::vector<std::string> directories; // to enter, in order
        std::size_t next;
    };

    // A part of the walk: the `directories` of the folder open at `fd` and
    // everything below them, and the reads made of them so far.
    struct Part {
        support::KeptDescriptor fd; // moved to the reader's first level once started
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

    // How the sampled reads of one thread went: the time each took, the CPU
    // time it used and whether it slept in its system calls.
    struct Pace {
        bool grows = false; // sampled only where the reading adds threads
        std::size_t reads = 0;
        std::size_t samples = 0; // mostly asleep, in a row
        bool started = false;
        // At the start of the sampled read:
        std::int64_t wallNs = 0;
        std::int64_t cpuNs = 0;
        long waits = 0;

        void begin();
        bool end(); // whether a full window of samples in a row was mostly asleep
    };

    void work() BRIM_EXCLUDES(mutex_);
    bool walkPart(Parts::iterator part) BRIM_EXCLUDES(mutex_);
    void addReaders() BRIM_EXCLUDES(mutex_); // while the reads wait and there is work for more
    void handOver(Parts::iterator part, std::vector<Level>& levels) BRIM_EXCLUDES(mutex_);
    bool readDirectory(Parts::iterator part, int parent, std::string path, std::vector<Level>& levels,
                       char const* name, Pace& pace) BRIM_EXCLUDES(mutex_);
    bool publish(Parts::iterator part, DirectoryRead&& read) BRIM_EXCLUDES(mutex_);
    // Whether `part` has room for a read of `bytes`; `waking` once waiting
    // for room (the walk's part then waits for a batch to be taken).
    bool hasRoom(Parts::iterator part, std::size_t bytes, bool waking) const BRIM_REQUIRES(mutex_);

    support::DescriptorBudget& descriptors_;
    std::size_t const queueBytes_;
    // Set by start() before the threads run, read-only after.
    bool grows_ = false; // whether the reading adds threads
    Skip skip_;
    std::size_t rootLength_ = 0; // of the root's path and the separator after it

    std::mutex taking_;    // guards no field: held by the one take() that moves the walk's position
    std::mutex stopMutex_; // guards no field: held while the threads are stopped

    support::Mutex mutex_;
    std::condition_variable taken_;       // the walk waits on it for reads
    std::condition_variable frontRoom_;   // the reader of the walk's part waits on it for room
    std::condition_variable laterRoom_;   // readers of later parts wait on it for the budget
    std::condition_variable idle_;        // readers wait on it for a part to read
    Parts parts_ BRIM_GUARDED_BY(mutex_); // in walk order; the walk is in the first
    std::size_t queuedBytes_ BRIM_GUARDED_BY(mutex_) = 0; // of the reads in all parts
    // Each side is woken only when the other has made room for a batch, not
    // at every read taken: a wake-up costs about as much as a read.
    bool frontWaiting_ BRIM_GUARDED_BY(mutex_) = false;   // on frontRoom_
    bool laterWaiting_ BRIM_GUARDED_BY(mutex_) = false;   // on laterRoom_
    std::size_t laterWakeAt_ BRIM_GUARDED_BY(mutex_) = 0; // queuedBytes_ that wakes them
    std::size_t running_ BRIM_GUARDED_BY(mutex_) = 0;     // parts being read
    std::size_t readersWaiting_ BRIM_GUARDED_BY(mutex_) = 0;
    std::size_t readersIdle_ BRIM_GUARDED_BY(mutex_) = 0; // waiting for a part
    std::size_t maxReaders_ BRIM_GUARDED_BY(mutex_) = 0;  // the reading adds threads up to this many
    bool takerWaiting_ BRIM_GUARDED_BY(mutex_) = false;
    bool stopping_ BRIM_GUARDED_BY(mutex_) = false;
    std::vector<std::thread> threads_ BRIM_GUARDED_BY(mutex_); // readers add readers
    std::atomic<bool> partWanted_{false};                      // an idle reader asks for a part
};

} // namespace localfile
