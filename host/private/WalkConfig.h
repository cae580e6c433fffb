#pragma once

#include <chrono>
#include <cstddef>

// The walk's tunables (LocalFileInfo, the listing and its sort, the reading
// ahead), each with its reason and the figure that chose it where one was
// measured. The defaults a caller may change per walk, through WalkOptions
// (host/WalkLimits.h), are set there: the ways into a folder, the reader
// threads, the open descriptors and the bytes read ahead.
namespace localfile::config {

// --- Listing one directory (DirectoryListing.cpp) ---

// Bytes asked of each getdents64 call: about 600 entries of 30-byte names.
// Not measured.
constexpr std::size_t listingBufferBytes = 32768;
// The listing reserves room for its names from the directory's st_size
// (ext4 gives the listing's size there), up to this much, and for one entry
// per `bytesPerEntryGuess` bytes of it, up to `reservedEntriesMost`: a guess
// that is too large costs only address space. Not measured.
constexpr std::size_t reservedNameBytesMost = std::size_t(64) << 20;
constexpr std::size_t bytesPerEntryGuess = 32;
constexpr std::size_t reservedEntriesMost = std::size_t(1) << 21;
// Listings this long have their halves sorted on two threads, then merged:
// a flat study's folder of a million names took a fifth of a second to sort
// on one thread, while the walk waited for it (commit e7a0d78). The
// threshold itself was not measured.
constexpr std::size_t sortOnTwoThreadsFrom = std::size_t(1) << 16;

// A walk asks for the names of a listing's entries in order, but they are
// kept in the directory's own order (ext4's: by hash), so in a big folder
// each lies far from the one before; name() fetches the name this many
// entries on into the cache. Not measured beyond the one figure.
constexpr std::size_t nameFetchAhead = 8;

// --- Descriptors (DirectoryListing.cpp, LocalFileInfo.cpp) ---

// A walk keeps at most this share of the process's descriptors open
// (RLIMIT_NOFILE / descriptorShareDivisor), and never more than
// `descriptorsMost`, also when the limit is infinite: the host keeps the
// rest. Not measured.
constexpr std::size_t descriptorShareDivisor = 4;
constexpr std::size_t descriptorsMost = 160;
// Out of descriptors, opening a folder is tried again this many times, this
// long apart (about a second in all), after the walk has given up all it
// keeps: time for the host to close some of its own.
constexpr int reopenAttempts = 50;
constexpr std::chrono::milliseconds reopenPause{20};

// --- Reading ahead (DirectoryReader.cpp) ---

// The part the walk is in runs so many reads ahead of it at most. Reading
// ahead as a whole took a million files from 1.6 to 1.3 s on two cores
// (commit ceda65a); 32 itself was not measured.
constexpr std::size_t readsAhead = 32;
// Either side wakes the other only once this many reads can be taken or
// made: a wake-up per directory costs as much as reading it (commit
// ceda65a). Not measured further.
constexpr std::size_t wakeBatch = 8;
// Readers of later parts, held back by the budget, are woken once the walk
// has taken this share of it beyond the room they need, not at every read
// taken. Not measured.
constexpr std::size_t laterWakeDivisor = 8;
// A reader keeps each level's directory open, so it goes so deep at most;
// the walk reads deeper folders itself. Not measured.
constexpr std::size_t readDepthMost = 32;
// Readers started when WalkOptions::readerThreads is 0: one per core, this
// many at most. Up to three readers took 336,000 folders from 6.2 to 5.0 s
// and 73,000 from 1.8 to 1.7 s against one (commit 010d7a6).
constexpr unsigned startingReadersMost = 3;
// While the reads mostly wait for the file system, the readers double up to
// this many (WalkOptions::maxReaderThreads lowers it): with 0.1 to a few ms
// a request, a cluster file system serves dozens at once about as fast as
// one. On 100,000 files behind 1 ms a request: 31.2 s with three readers,
// 7.45 s growing to 32 (README, the latency axis); behind 2 ms, 3.8 s with
// 32 and 3.0 s with 64.
constexpr std::size_t waitingReadersMost = 64;
// A reader keeps open the folders of its walk that still have folders to
// open in them: 93 descriptors for 32 readers on the nested study, the
// walk's own included. The readers added leave this much room each in the
// descriptor budget (160 places: 53 readers), so that none reaches its
// folders by their paths, a round trip per folder of the path.
constexpr std::size_t descriptorsPerReader = 3;
// Every `paceSampleEvery`th read of a reader is timed; after `paceWindow` of
// them in a row each asleep in its system calls for most of its time, a
// reader asks for more readers. Warm local disks never ask (0.80 s before,
// 0.74 s after on 100,000 files; README), and a few stalls of theirs (on a
// loaded machine) start the count again. Timing every 4th read and judging
// 8 at once took 0.65 s to reach 32 readers behind 1 ms a request, every
// 2nd and 4 in a row 0.2 s.
constexpr std::size_t paceSampleEvery = 2;
constexpr std::size_t paceWindow = 4;

} // namespace localfile::config
