#include "host/private/DirectoryReader.h"

#include "host/private/WalkConfig.h"

#include "support/PathOrder.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <iterator>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace localfile {

namespace {

// The readers to start: `asked`, or one per core, a few at most (and no more
// than `most`, when that is not 0).
std::size_t readerCount(std::size_t asked, std::size_t most)
{
    if (asked > 0)
        return asked;
    std::size_t const count =
        std::clamp(std::thread::hardware_concurrency(), 1u, config::startingReadersMost);
    return most > 0 ? std::min(count, most) : count;
}

// Wall, CPU (user and system) time and voluntary context switches of the
// calling thread so far.
struct Clock {
    std::int64_t wallNs;
    std::int64_t cpuNs;
    long waits;
};

std::int64_t nanoseconds(timeval const& time)
{
    return std::int64_t(time.tv_sec) * 1000000000 + std::int64_t(time.tv_usec) * 1000;
}

std::optional<Clock> now()
{
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) != 0)
        return std::nullopt;
    auto const wall = std::chrono::steady_clock::now().time_since_epoch();
    return Clock{std::chrono::duration_cast<std::chrono::nanoseconds>(wall).count(),
                 nanoseconds(usage.ru_utime) + nanoseconds(usage.ru_stime), usage.ru_nvcsw};
}

std::size_t bytesOf(DirectoryRead const& read)
{
    return sizeof read + read.path.capacity() + read.names.capacity() +
           read.entries.capacity() * sizeof(ReadEntry);
}

} // namespace

std::unique_ptr<DirectoryReader> DirectoryReader::start(std::string root,
                                                        std::vector<std::string> directories,
                                                        support::DescriptorBudget& descriptors,
                                                        std::size_t threads, std::size_t queueBytes,
                                                        Skip skip, std::size_t maxThreads)
{
    support::UniqueFd opened(openDirectory(root));
    if (!opened.valid() || !descriptors.take())
        return nullptr;
    support::KeptDescriptor fd(std::move(opened), descriptors);
    struct stat self {};
    if (fstat(fd.get(), &self) != 0)
        return nullptr;
    auto reader = std::make_unique<DirectoryReader>(descriptors, queueBytes);
    reader->skip_ = std::move(skip);
    reader->rootLength_ = childPath(root, "").size();
    std::size_t const count = readerCount(threads, maxThreads);
    reader->grows_ = threads == 0;
    support::MutexLock const lock(reader->mutex_); // the threads may add threads
    reader->parts_.push_back(Part{std::move(fd),
                                  std::move(root),
                                  self.st_dev,
                                  self.st_ino,
                                  {},
                                  std::move(directories),
                                  0,
                                  {},
                                  false,
                                  false});
    std::size_t const waitingMost = maxThreads > 0 ? maxThreads : config::waitingReadersMost;
    reader->maxReaders_ =
        reader->grows_
            ? std::max(count, std::min(waitingMost, descriptors.limit() / config::descriptorsPerReader))
            : count;
    try {
        for (std::size_t i = count; i > 0; --i)
            reader->threads_.emplace_back([raw = reader.get()] { raw->work(); });
    } catch (std::system_error const&) {
        if (reader->threads_.empty())
            return nullptr;
    }
    return reader;
}

DirectoryReader::DirectoryReader(support::DescriptorBudget& descriptors, std::size_t queueBytes)
    : descriptors_(descriptors), queueBytes_(queueBytes)
{
}

DirectoryReader::~DirectoryReader()
{
    stop();
}

void DirectoryReader::stop()
{
    std::lock_guard<std::mutex> const stopping(stopMutex_);
    std::vector<std::thread> threads;
    {
        // No thread adds threads once stopping_ is set.
        support::MutexLock const lock(mutex_);
        stopping_ = true;
        threads.swap(threads_);
    }
    frontRoom_.notify_all();
    laterRoom_.notify_all();
    idle_.notify_all();
    for (std::thread& thread : threads)
        thread.join();
    support::MutexLock const lock(mutex_);
    for (Part& part : parts_) {
        if (!part.started)
            part.fd.reset();
        part.started = true;
        part.finished = true; // a waiting take() takes what is there
    }
    taken_.notify_all();
}

std::optional<DirectoryRead> DirectoryReader::take(std::string const& path)
{
    // Only the one taking pops parts: the part it waits on stays.
    std::unique_lock<std::mutex> const taking(taking_, std::try_to_lock);
    if (!taking.owns_lock())
        return std::nullopt;
    // Readers are woken once the lock is let go: woken while it is held, they
    // would only wait for it again.
    bool wakeFront = false;
    bool wakeLater = false;
    auto const wake = [&] {
        if (wakeFront)
            frontRoom_.notify_one();
        if (wakeLater)
            laterRoom_.notify_all();
        wakeFront = wakeLater = false;
    };
    std::optional<DirectoryRead> read;
    {
        support::MutexLock lock(mutex_);
        while (!parts_.empty()) {
            Part& part = parts_.front();
            if (part.ready.empty() && part.finished) {
                parts_.pop_front(); // the next part's reader may now run ahead
                wakeLater = wakeLater || laterWaiting_;
                laterWaiting_ = false;
                continue;
            }
            if (part.ready.empty()) {
                lock.unlock();
                wake();
                lock.lock();
                while (part.ready.size() < config::wakeBatch && !part.finished) {
                    takerWaiting_ = true;
                    lock.wait(taken_);
                }
                takerWaiting_ = false;
                continue;
            }
            DirectoryRead& next = part.ready.front();
            bool const match = next.path == path;
            if (!match && !support::walksBefore(next.path, path))
                break; // `path` comes first: it was not read ahead
            queuedBytes_ -= bytesOf(next);
            if (match)
                read = std::move(next);
            part.ready.pop_front();
            if (frontWaiting_ && part.ready.size() <= config::readsAhead - config::wakeBatch) {
                wakeFront = true;
                frontWaiting_ = false;
            }
            if (laterWaiting_ && queuedBytes_ <= laterWakeAt_) {
                wakeLater = true;
                laterWaiting_ = false;
            }
            if (match)
                break;
        }
    }
    wake();
    return read;
}

void DirectoryReader::work()
{
    support::MutexLock lock(mutex_);
    while (!stopping_) {
        auto const part = std::find_if(parts_.begin(), parts_.end(),
                                       [](Part const& candidate) { return !candidate.started; });
        if (part == parts_.end()) {
            if (running_ == 0)
                return; // all read
            partWanted_.store(true, std::memory_order_relaxed);
            ++readersIdle_;
            lock.wait(idle_);
            --readersIdle_;
            continue;
        }
        part->started = true;
        ++running_;
        lock.unlock();
        bool going = true;
        try {
            going = walkPart(part);
        } catch (...) {
            // The walk reads for itself what is not read ahead.
        }
        lock.lock();
        part->finished = true;
        --running_;
        if (takerWaiting_) {
            takerWaiting_ = false;
            taken_.notify_all();
        }
        idle_.notify_all();
        if (!going)
            return;
    }
}

// Walks `part` depth-first, as the walk will, and publishes a read of every
// directory entered. False once the reader is stopping.
bool DirectoryReader::walkPart(Parts::iterator part)
{
    // Each level keeps its folder's descriptor (if any) until it is left,
    // or until the walk of the part ends, however it ends.
    std::vector<Level> levels;
    levels.push_back(
        Level{std::move(part->fd), part->path, part->device, part->inode, std::move(part->directories), 0});
    Pace pace{grows_};
    bool going = true;
    while (going && !levels.empty()) {
        if (partWanted_.load(std::memory_order_relaxed))
            handOver(part, levels);
        Level& level = levels.back();
        if (level.next == level.directories.size() || part->depth + levels.size() >= config::readDepthMost) {
            levels.pop_back();
            continue;
        }
        std::string const& name = level.directories[level.next++];
        std::string path = childPath(level.path, name);
        if (skip_ && skip_(path.substr(rootLength_)))
            continue;
        going = readDirectory(part, level.fd.get(), std::move(path), levels, name.c_str(), pace);
    }
    return going;
}

// Hands the folders not yet entered at the topmost level that has any over
// to the idle readers, as parts that follow `part` in order (one folder or
// more each, as many parts as readers wait): this reader would have entered
// them after everything else it has left.
void DirectoryReader::handOver(Parts::iterator part, std::vector<Level>& levels)
{
    support::MutexLock const lock(mutex_);
    if (!partWanted_.load(std::memory_order_relaxed))
        return;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        Level& level = levels[i];
        if (level.next == level.directories.size())
            continue;
        std::size_t const depth = part->depth + i;
        if (depth + 1 >= config::readDepthMost)
            return;
        std::vector<Origin> above = part->above;
        for (std::size_t j = 0; j < i; ++j)
            above.push_back(Origin{levels[j].device, levels[j].inode});
        std::size_t const from = level.next;
        std::size_t const left = level.directories.size() - from;
        std::size_t const count = std::clamp<std::size_t>(readersIdle_, 1, left);
        auto at = std::next(part);
        for (std::size_t k = 0; k < count; ++k) {
            // Without a descriptor, the part reaches its folders by their paths.
            support::KeptDescriptor fd;
            if (level.fd.valid() && descriptors_.take()) {
                support::UniqueFd copy(fcntl(level.fd.get(), F_DUPFD_CLOEXEC, 0));
                if (copy.valid())
                    fd = support::KeptDescriptor(std::move(copy), descriptors_);
                else
                    descriptors_.give();
            }
            auto const begin = level.directories.begin() + static_cast<std::ptrdiff_t>(from);
            std::vector<std::string> slice(
                std::make_move_iterator(begin + static_cast<std::ptrdiff_t>(left * k / count)),
                std::make_move_iterator(begin + static_cast<std::ptrdiff_t>(left * (k + 1) / count)));
            parts_.insert(at, Part{std::move(fd),
                                   level.path,
                                   level.device,
                                   level.inode,
                                   above,
                                   std::move(slice),
                                   depth,
                                   {},
                                   false,
                                   false});
        }
        level.directories.resize(from); // all handed over: nothing more to open in it
        level.fd.reset();
        partWanted_.store(false, std::memory_order_relaxed);
        idle_.notify_all();
        return;
    }
}

// Times a sample of the reads; once every sample of a window was mostly
// asleep in system calls, more threads would overlap them.
void DirectoryReader::Pace::begin()
{
    if (!grows || ++reads % config::paceSampleEvery != 0)
        return;
    if (std::optional<Clock> const clock = now()) {
        started = true;
        wallNs = clock->wallNs;
        cpuNs = clock->cpuNs;
        waits = clock->waits;
    }
}

bool DirectoryReader::Pace::end()
{
    if (!started)
        return false;
    started = false;
    std::optional<Clock> const clock = now();
    // Asleep in the read, and for most of its time. One sample that was not
    // starts the window again: a disk that stalls now and then but mostly
    // answers at once gets no more readers.
    std::int64_t const wall = clock ? clock->wallNs - wallNs : 0;
    bool const asleep = clock && clock->waits > waits && wall - (clock->cpuNs - cpuNs) > wall / 2;
    if (!asleep) {
        samples = 0;
        return false;
    }
    if (++samples < config::paceWindow)
        return false;
    samples = 0;
    return true;
}

void DirectoryReader::addReaders()
{
    support::MutexLock const lock(mutex_);
    // Readers without a part, or held back by the walk or the budget: more
    // would not read sooner.
    if (stopping_ || readersIdle_ > 0 || readersWaiting_ > 0 || threads_.size() >= maxReaders_)
        return;
    std::size_t const more = std::min(threads_.size(), maxReaders_ - threads_.size());
    try {
        for (std::size_t i = 0; i < more; ++i)
            threads_.emplace_back([this] { work(); });
    } catch (std::system_error const&) {
        maxReaders_ = threads_.size();
    }
}

// Reads the directory `name` in `parent` (or at `path` when `parent` is -1),
// publishes the read and adds a level to enter its directories. False once
// the reader is stopping.
bool DirectoryReader::readDirectory(Parts::iterator part, int parent, std::string path,
                                    std::vector<Level>& levels, char const* name, Pace& pace)
{
    DirectoryRead read;
    read.path = std::move(path);
    pace.begin();
    auto const finish = [&] {
        if (pace.end())
            addReaders();
        return publish(part, std::move(read));
    };
    support::UniqueFd fd(parent >= 0 ? openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY)
                                     : openDirectory(read.path));
    if (parent >= 0 && levels.back().next == levels.back().directories.size())
        levels.back().fd.reset(); // its last folder is open: room for another reader's
    if (!fd.valid()) {
        if (outOfDescriptors(errno) || errno == ENOMEM) {
            pace.end();
            return true; // says nothing of the folder: the walk reads it for itself
        }
        read.error = errno;
        return finish();
    }
    std::vector<Origin> const& above = part->above;
    auto const onPath = [&levels, &above](dev_t device, ino_t inode) {
        return std::any_of(
                   levels.begin(), levels.end(),
                   [&](Level const& level) { return level.device == device && level.inode == inode; }) ||
               std::any_of(above.begin(), above.end(), [&](Origin const& origin) {
                   return origin.device == device && origin.inode == inode;
               });
    };
    struct stat self {};
    if (statOpened(fd.get(), &self) != 0 || onPath(self.st_dev, self.st_ino)) {
        fd.reset();
        read.onPath = true;
        return finish();
    }
    read.device = self.st_dev;
    read.inode = self.st_ino;
    auto const isAncestor = [&](dev_t device, ino_t inode) {
        return (device == self.st_dev && inode == self.st_ino) || onPath(device, inode);
    };
    readEntries(fd.get(), std::string(), isAncestor, true, self, read);

    std::vector<std::string> directories;
    if (part->depth + levels.size() + 1 < config::readDepthMost)
        for (ReadEntry const& entry : read.entries)
            if (entry.kind == Kind::Directory && entry.readable == 1)
                directories.emplace_back(read.names, entry.offset, entry.length);
    // Kept only while there are folders to open in it. Without a descriptor
    // to keep, the folders below are reached by their paths: on a slow file
    // system more round trips, but still read ahead.
    support::KeptDescriptor kept;
    if (!directories.empty() && descriptors_.take())
        kept = support::KeptDescriptor(std::move(fd), descriptors_);
    else
        fd.reset(); // not held open while the read waits to be published
    levels.push_back(Level{std::move(kept), read.path, self.st_dev, self.st_ino, std::move(directories), 0});
    return finish();
}

bool DirectoryReader::publish(Parts::iterator part, DirectoryRead&& read)
{
    std::size_t const bytes = bytesOf(read);
    bool wakeTaker = false;
    {
        support::MutexLock lock(mutex_);
        if (!hasRoom(part, bytes, false) && !stopping_) {
            ++readersWaiting_;
            while (!stopping_ && !hasRoom(part, bytes, true)) {
                if (part == parts_.begin()) {
                    frontWaiting_ = true;
                    lock.wait(frontRoom_);
                    continue;
                }
                // Woken once the walk has taken a batch's worth beyond the
                // room this read needs (or at once, for a read that needs
                // most of the budget).
                std::size_t const fits = bytes < queueBytes_ ? queueBytes_ - bytes : 0;
                std::size_t const batch = queueBytes_ / config::laterWakeDivisor;
                std::size_t const wakeAt = fits > batch ? fits - batch : fits;
                laterWakeAt_ = laterWaiting_ ? std::max(laterWakeAt_, wakeAt) : wakeAt;
                laterWaiting_ = true;
                lock.wait(laterRoom_);
            }
            --readersWaiting_;
        }
        if (stopping_)
            return false;
        queuedBytes_ += bytes;
        part->ready.push_back(std::move(read));
        if (takerWaiting_ && part == parts_.begin() && part->ready.size() >= config::wakeBatch) {
            takerWaiting_ = false;
            wakeTaker = true;
        }
    }
    if (wakeTaker)
        taken_.notify_all();
    return true;
}

// The walk's part keeps `readsAhead` reads at most, and once full waits until a
// batch has been taken; later parts keep what the budget allows.
bool DirectoryReader::hasRoom(Parts::iterator part, std::size_t bytes, bool waking) const
{
    if (part == parts_.begin())
        return part->ready.size() <
               (waking ? config::readsAhead - config::wakeBatch + 1 : config::readsAhead);
    return part->ready.empty() || queuedBytes_ + bytes <= queueBytes_;
}

} // namespace localfile
