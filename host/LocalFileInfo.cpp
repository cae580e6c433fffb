#include "host/LocalFileInfo.h"

#include "host/ExceptionBase.h"
#include "host/NameSort.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <mutex>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>
#include <utility>

struct LocalFileInfo::Ancestor {
    dev_t device;
    ino_t inode;
    boost::shared_ptr<Ancestor const> parent;
};

namespace {
class DirectoryReader;
}

// What the entries of one directory listing share. Every shared pointer to
// one of the entries owns the whole listing.
struct LocalFileInfo::Listing {
    Listing() = default;
    Listing(Listing const&) = delete;
    Listing& operator=(Listing const&) = delete;
    ~Listing();

    std::string path;                       // the listed directory (a root's own path)
    boost::shared_ptr<Ancestor const> here; // the listed directory and those above it
    int descriptor = -1;                    // the listed directory while kept open
    std::string names;                      // the entries' names, each followed by NUL
    std::vector<LocalFileInfo> entries;
    std::shared_ptr<DirectoryReader> reader; // reads the walk's next directories ahead, if any
};

namespace {

using Kind = LocalFileInfo::Kind;

bool isOnPath(LocalFileInfo::Ancestor const* ancestor, dev_t device, ino_t inode)
{
    for (; ancestor != nullptr; ancestor = ancestor->parent.get())
        if (ancestor->device == device && ancestor->inode == inode)
            return true;
    return false;
}

Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::File;
    if (S_ISDIR(mode))
        return Kind::Directory;
    return Kind::Special;
}

std::string withoutTrailingSeparators(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// Where the last component of `path` starts.
std::size_t lastComponentStart(std::string const& path)
{
    std::size_t const slash = path.rfind('/');
    if (slash == std::string::npos || path.size() == 1)
        return 0;
    return slash + 1;
}

std::string childPath(std::string const& parent, std::string_view name)
{
    std::string path;
    path.reserve(parent.size() + 1 + name.size());
    path += parent;
    if (parent.empty() || parent.back() != '/')
        path += '/';
    path += name;
    return path;
}

[[noreturn]] void throwNotReadable(std::string const& path)
{
    throw norvale::ExceptionBase("The specified path: " + path + " is not readable.", false);
}

// Calls `call(folder, rest)` for `path`. A path too long for one system call
// is split at separators: the part before `rest` is opened a piece at a time
// (O_PATH: only search permission is needed, as for the whole path), and its
// descriptor is `folder`. Returns the call's result; -1 with errno set when a
// piece cannot be opened.
template <typename Call> int atPath(std::string const& path, Call call)
{
    if (path.size() < PATH_MAX)
        return call(AT_FDCWD, path.c_str());
    int folder = AT_FDCWD;
    std::size_t start = 0;
    while (path.size() - start >= PATH_MAX) {
        std::size_t const end = path.rfind('/', start + PATH_MAX - 1);
        int next = -1;
        if (end == std::string::npos || end <= start)
            errno = ENAMETOOLONG;
        else
            next = openat(folder, path.substr(start, end - start).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        int const saved = errno;
        if (folder != AT_FDCWD)
            close(folder);
        errno = saved;
        if (next < 0)
            return -1;
        folder = next;
        start = end + 1;
    }
    int const result = call(folder, path.c_str() + start);
    int const saved = errno;
    close(folder);
    errno = saved;
    return result;
}

int openDirectory(std::string const& path)
{
    return atPath(path, [](int folder, char const* rest) {
        return openat(folder, rest, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    });
}

int statAt(std::string const& path, struct stat* st, int flags)
{
    return atPath(path,
                  [st, flags](int folder, char const* rest) { return fstatat(folder, rest, st, flags); });
}

int accessAt(std::string const& path, int mode)
{
    return atPath(path,
                  [mode](int folder, char const* rest) { return faccessat(folder, rest, mode, AT_EACCESS); });
}

// One entry of a directory read: its name in the read's names, what it is,
// and for a directory whether it may be listed and entered (-1: not asked).
struct ReadEntry {
    std::uint32_t offset;
    std::uint32_t length;
    Kind kind;
    bool symLink;
    signed char readable;
};

// What reading one directory found: all that children() needs of it.
struct DirectoryRead {
    std::string path;
    int error = 0;       // errno of opening it, 0 when it was opened
    bool onPath = false; // already on the way from the root: not listed
    dev_t device = 0;
    ino_t inode = 0;
    std::string names; // each followed by NUL
    std::vector<ReadEntry> entries;
};

// Whether the file system of the directory open at `fd` (on `device`) lists
// as many entries as fit in each getdents64 call: then a call that leaves
// room for more has reached the end, and no further call is needed to learn
// that. True for the local file systems known to (ext4, tmpfs, XFS, Btrfs);
// not, for example, for FUSE, which may answer a bit at a time.
bool fillsEachListing(int fd, dev_t device)
{
    thread_local dev_t lastDevice = 0;
    thread_local bool lastAnswer = false;
    thread_local bool known = false;
    if (known && device == lastDevice)
        return lastAnswer;
    struct statfs fs {};
    bool answer = false;
    if (fstatfs(fd, &fs) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
        case 0xEF53:     // ext2, ext3, ext4
        case 0x01021994: // tmpfs
        case 0x58465342: // XFS
        case 0x9123683E: // Btrfs
            answer = true;
            break;
        default:
            break;
        }
    }
    lastDevice = device;
    lastAnswer = answer;
    known = true;
    return answer;
}

// Whether `mode` access to `name` in the directory `fd` is granted; an entry
// removed since it was listed is not an unreadable one.
bool accessible(int fd, char const* name, int mode)
{
    return faccessat(fd, name, mode, AT_EACCESS) == 0 || errno == ENOENT || errno == ENOTDIR;
}

// Lists the directory open at `fd` into `read`: every name but "." and ".."
// that `filter` keeps, sorted in byte order, each with its kind taken from the
// listing (stat only for links and entries of unknown type). A link to a
// directory for which `isAncestor(device, inode)` holds is a LinkToAncestor.
// With `checkAccess`, directories are also checked for R_OK | X_OK.
//
// `self` is the directory's fstat: its st_size, on file systems that give
// its listing's size there (as ext4 does), makes room for the names at once.
template <typename IsAncestor>
void readEntries(int fd, std::string const& filter, IsAncestor isAncestor, bool checkAccess,
                 struct stat const& self, DirectoryRead& read)
{
    off_t const size = self.st_size;
    bool const fills = fillsEachListing(fd, self.st_dev);
    std::vector<localfile::NameRef> raw;
    std::string& names = read.names;
    if (size > 0) {
        names.reserve(static_cast<std::size_t>(std::min<off_t>(size, 64 << 20)));
        raw.reserve(static_cast<std::size_t>(std::min<off_t>(size / 32, 1 << 21)));
    }
    alignas(8) char buffer[32768];
    for (bool more = true; more;) {
        ssize_t const bytes = getdents64(fd, buffer, sizeof buffer);
        if (bytes <= 0)
            break;
        // Room for another entry of the longest name left: that was the end.
        more = !fills || sizeof buffer - static_cast<std::size_t>(bytes) < sizeof(dirent64) + NAME_MAX + 8;
        for (ssize_t at = 0; at < bytes;) {
            auto const* entry = reinterpret_cast<dirent64 const*>(buffer + at);
            at += entry->d_reclen;
            char const* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            if (!filter.empty() && fnmatch(filter.c_str(), name, 0) != 0)
                continue;
            std::size_t const length = std::strlen(name);
            raw.push_back(localfile::NameRef{0, static_cast<std::uint32_t>(names.size()),
                                             static_cast<std::uint32_t>(length), entry->d_type});
            names.append(name, length + 1);
        }
    }
    localfile::sortByName(raw, names.data());

    read.entries.reserve(raw.size());
    for (localfile::NameRef const& entry : raw) {
        char const* const name = names.c_str() + entry.offset;
        unsigned char const type = entry.type;
        bool symLink = type == DT_LNK;
        Kind kind = Kind::Special;
        struct stat st {};
        if (type == DT_UNKNOWN) {
            if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // removed while listed
            symLink = S_ISLNK(st.st_mode);
            if (!symLink)
                kind = kindOf(st.st_mode);
        } else if (type == DT_REG) {
            kind = Kind::File;
        } else if (type == DT_DIR) {
            kind = Kind::Directory;
        }
        if (symLink && fstatat(fd, name, &st, 0) == 0) {
            kind = kindOf(st.st_mode);
            if (kind == Kind::Directory && isAncestor(st.st_dev, st.st_ino))
                kind = Kind::LinkToAncestor;
        }
        signed char readable = -1;
        if (checkAccess && kind == Kind::Directory)
            readable = accessible(fd, name, R_OK | X_OK) ? 1 : 0;
        read.entries.push_back(ReadEntry{entry.offset, entry.length, kind, symLink, readable});
    }
}

// Whether a walk that enters directories depth-first, each one's entries in
// byte order of their names, enters the directory `a` before `b`: compared
// component by component, and a directory before those below it.
bool walksBefore(std::string_view a, std::string_view b)
{
    std::size_t ia = 0;
    std::size_t ib = 0;
    for (;;) {
        if (ia > a.size())
            return ib <= b.size();
        if (ib > b.size())
            return false;
        std::size_t const ea = std::min(a.find('/', ia), a.size());
        std::size_t const eb = std::min(b.find('/', ib), b.size());
        std::string_view const ca = a.substr(ia, ea - ia);
        std::string_view const cb = b.substr(ib, eb - ib);
        if (ca != cb)
            return ca < cb;
        ia = ea + 1;
        ib = eb + 1;
    }
}

// Reads the directories of a tree on its own thread, in the order in which a
// depth-first walk in name order enters them (as FolderCrawler does), a few
// directories ahead of the walk. The walk's children() calls take the reads;
// the walk then spends no time in system calls, and the reads of a cold tree
// overlap with the walk's work. A read not taken in order is dropped once the
// walk has gone past it; a directory not read ahead is read as usual.
class DirectoryReader {
public:
    // Starts reading the `directories` of `root` (the walk has listed the
    // root itself), in their order; null if no thread can be started.
    static std::shared_ptr<DirectoryReader> start(std::string root, std::vector<std::string> directories)
    {
        auto reader = std::make_shared<DirectoryReader>();
        try {
            reader->thread_ = std::thread(
                [raw = reader.get(), root = std::move(root), directories = std::move(directories)]() mutable {
                    raw->run(std::move(root), std::move(directories));
                });
        } catch (std::system_error const&) {
            return nullptr;
        }
        return reader;
    }

    DirectoryReader() = default;
    DirectoryReader(DirectoryReader const&) = delete;
    DirectoryReader& operator=(DirectoryReader const&) = delete;

    ~DirectoryReader()
    {
        {
            std::lock_guard<std::mutex> const lock(mutex_);
            stopping_ = true;
        }
        published_.notify_all();
        thread_.join();
    }

    // The read of the directory at `path`, if it was read ahead.
    std::optional<DirectoryRead> take(std::string const& path)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (ready_.empty() && !finished_) {
                takerWaiting_ = true;
                taken_.wait(lock, [this] { return ready_.size() >= batch || finished_; });
                takerWaiting_ = false;
            }
            if (ready_.empty())
                return std::nullopt;
            bool const match = ready_.front().path == path;
            if (!match && !walksBefore(ready_.front().path, path))
                return std::nullopt; // `path` comes first: it was not read ahead
            std::optional<DirectoryRead> read;
            if (match)
                read = std::move(ready_.front());
            ready_.pop_front();
            if (readerWaiting_ && ready_.size() <= ahead - batch)
                published_.notify_one();
            if (match)
                return read;
        }
    }

private:
    // Reads so many directories ahead at most, and opens so many levels at
    // most (each keeps its directory open). Either side wakes the other only
    // once `batch` reads can be taken or made: a wake-up per directory costs
    // as much as reading it.
    static constexpr std::size_t ahead = 32;
    static constexpr std::size_t batch = 8;
    static constexpr std::size_t maxDepth = 32;

    struct Level {
        int fd;
        std::string path;
        dev_t device;
        ino_t inode;
        std::vector<std::string> directories; // to enter, in order
        std::size_t next;
    };

    void run(std::string root, std::vector<std::string> directories)
    {
        std::vector<Level> levels;
        try {
            struct stat self {};
            int const fd = openDirectory(root);
            if (fd >= 0 && fstat(fd, &self) != 0) {
                close(fd);
            } else if (fd >= 0) {
                levels.push_back(
                    Level{fd, std::move(root), self.st_dev, self.st_ino, std::move(directories), 0});
            }
            while (!levels.empty()) {
                Level& level = levels.back();
                if (level.next == level.directories.size() || levels.size() >= maxDepth) {
                    close(level.fd);
                    levels.pop_back();
                    continue;
                }
                std::string const& name = level.directories[level.next++];
                if (!readDirectory(level.fd, childPath(level.path, name), levels, name.c_str()))
                    break;
            }
        } catch (...) {
            // The walk reads for itself what is not read ahead.
        }
        for (Level const& level : levels)
            close(level.fd);
        std::lock_guard<std::mutex> const lock(mutex_);
        finished_ = true;
        taken_.notify_all();
    }

    // Reads the directory `name` in `parent`, whose path is `path`, publishes
    // the read and adds a level to enter its directories. False once the
    // reader is stopping.
    bool readDirectory(int parent, std::string path, std::vector<Level>& levels, char const* name)
    {
        DirectoryRead read;
        read.path = std::move(path);
        int const fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            read.error = errno;
            return publish(std::move(read));
        }
        auto const onPath = [&levels](dev_t device, ino_t inode) {
            return std::any_of(levels.begin(), levels.end(), [&](Level const& level) {
                return level.device == device && level.inode == inode;
            });
        };
        struct stat self {};
        if (fstat(fd, &self) != 0 || onPath(self.st_dev, self.st_ino)) {
            close(fd);
            read.onPath = true;
            return publish(std::move(read));
        }
        read.device = self.st_dev;
        read.inode = self.st_ino;
        auto const isAncestor = [&](dev_t device, ino_t inode) {
            return (device == self.st_dev && inode == self.st_ino) || onPath(device, inode);
        };
        readEntries(fd, std::string(), isAncestor, true, self, read);

        Level level{fd, read.path, self.st_dev, self.st_ino, {}, 0};
        for (ReadEntry const& entry : read.entries)
            if (entry.kind == Kind::Directory && entry.readable == 1)
                level.directories.emplace_back(read.names, entry.offset, entry.length);
        if (!publish(std::move(read))) {
            close(fd);
            return false;
        }
        levels.push_back(std::move(level));
        return true;
    }

    bool publish(DirectoryRead&& read)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (ready_.size() >= ahead && !stopping_) {
            readerWaiting_ = true;
            published_.wait(lock, [this] { return ready_.size() <= ahead - batch || stopping_; });
            readerWaiting_ = false;
        }
        if (stopping_)
            return false;
        ready_.push_back(std::move(read));
        if (takerWaiting_ && ready_.size() >= batch)
            taken_.notify_one();
        return true;
    }

    std::mutex mutex_;
    std::condition_variable taken_;     // the walk waits on it for reads
    std::condition_variable published_; // the reader waits on it for room
    std::deque<DirectoryRead> ready_;
    bool takerWaiting_ = false;
    bool readerWaiting_ = false;
    bool stopping_ = false;
    bool finished_ = false;
    std::thread thread_;
};

// Listings that keep their directory open. A walk keeps one per level, so
// the limit only matters for very deep trees; past it, entries are reached
// by path.
std::atomic<int> openListings{0};
constexpr int maxOpenListings = 64;

} // namespace

LocalFileInfo::Listing::~Listing()
{
    if (descriptor >= 0) {
        close(descriptor);
        openListings.fetch_sub(1, std::memory_order_relaxed);
    }
}

LocalFileInfo::LocalFileInfo(Listing const* listing, std::uint32_t nameOffset, std::uint32_t nameLength,
                             Kind kind, bool symLink, bool root, signed char readable)
    : listing_(listing), nameOffset_(nameOffset), nameLength_(nameLength), kind_(kind), symLink_(symLink),
      root_(root), readable_(readable)
{
}

boost::shared_ptr<FileInfoInterface const> LocalFileInfo::create(std::string const& path)
{
    std::string cleaned = withoutTrailingSeparators(path);
    struct stat target {};
    struct stat link {};
    bool const symLink = statAt(cleaned, &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode);
    // A root that is a dangling link names nothing that can be crawled: it
    // does not exist. (Below the root such links are special entries.)
    Kind kind = Kind::Missing;
    if (statAt(cleaned, &target, 0) == 0)
        kind = kindOf(target.st_mode);

    auto const listing = boost::make_shared<Listing>();
    std::size_t const nameStart = lastComponentStart(cleaned);
    listing->names.assign(cleaned, nameStart, std::string::npos);
    listing->path = std::move(cleaned);
    listing->entries.emplace_back(listing.get(), 0, static_cast<std::uint32_t>(listing->names.size()), kind,
                                  symLink, true, -1);
    return boost::shared_ptr<FileInfoInterface const>(listing, &listing->entries.front());
}

char const* LocalFileInfo::nameText() const
{
    return listing_->names.c_str() + nameOffset_;
}

int LocalFileInfo::directoryDescriptor() const
{
    return root_ ? -1 : listing_->descriptor;
}

boost::shared_ptr<LocalFileInfo::Ancestor const> const& LocalFileInfo::ancestors() const
{
    return listing_->here;
}

bool LocalFileInfo::isDirectory() const
{
    return kind_ == Kind::Directory;
}

bool LocalFileInfo::isReadable() const
{
    if (kind_ == Kind::Missing)
        return false;
    if (kind_ == Kind::Special || kind_ == Kind::LinkToAncestor)
        return true;
    if (readable_ >= 0)
        return readable_ == 1; // asked when its directory was read
    int const mode = kind_ == Kind::Directory ? (R_OK | X_OK) : R_OK;
    int const directory = directoryDescriptor();
    if (directory >= 0)
        return accessible(directory, nameText(), mode);
    // An entry removed since it was listed is not an unreadable one.
    return accessAt(path(), mode) == 0 || errno == ENOENT || errno == ENOTDIR;
}

bool LocalFileInfo::isWritable() const
{
    if (kind_ == Kind::Missing)
        return false;
    int const directory = directoryDescriptor();
    return (directory >= 0 ? faccessat(directory, nameText(), W_OK, AT_EACCESS) : accessAt(path(), W_OK)) ==
           0;
}

bool LocalFileInfo::isFile() const
{
    return kind_ == Kind::File;
}

bool LocalFileInfo::exists() const
{
    return kind_ != Kind::Missing;
}

bool LocalFileInfo::isSymLink() const
{
    return symLink_;
}

std::string LocalFileInfo::path() const
{
    if (root_)
        return listing_->path;
    return childPath(listing_->path, std::string_view(nameText(), nameLength_));
}

std::string LocalFileInfo::name() const
{
    return std::string(nameText(), nameLength_);
}

std::uint64_t LocalFileInfo::size() const
{
    if (kind_ != Kind::File)
        return 0;
    struct stat st {};
    int const directory = directoryDescriptor();
    if ((directory >= 0 ? fstatat(directory, nameText(), &st, 0) : statAt(path(), &st, 0)) != 0)
        return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

LocalFileInfo::Kind LocalFileInfo::kind() const
{
    return kind_;
}

namespace {

// The entries of a directory read, in one listing that keeps `descriptor`
// (if not -1) and `reader`. `above` are the directories above the one read.
std::vector<boost::shared_ptr<FileInfoInterface const>>
listingOf(boost::shared_ptr<LocalFileInfo::Listing> const& listing, DirectoryRead&& read,
          boost::shared_ptr<LocalFileInfo::Ancestor const> const& above,
          std::shared_ptr<DirectoryReader> reader)
{
    std::vector<boost::shared_ptr<FileInfoInterface const>> result;
    if (read.error != 0) {
        if (read.error == ENOENT || read.error == ENOTDIR)
            return result; // removed while the walk ran
        if (read.error == EACCES || read.error == EPERM)
            throwNotReadable(read.path);
        throw norvale::ExceptionBase("The specified path: " + read.path +
                                         " could not be opened: " + std::strerror(read.error) + ".",
                                     false);
    }
    if (read.onPath)
        return result; // already on the path from the root: never entered twice

    listing->here = boost::make_shared<LocalFileInfo::Ancestor const>(
        LocalFileInfo::Ancestor{read.device, read.inode, above});
    listing->path = std::move(read.path);
    listing->names = std::move(read.names);
    listing->reader = std::move(reader);
    listing->entries.reserve(read.entries.size());
    for (ReadEntry const& entry : read.entries)
        listing->entries.emplace_back(listing.get(), entry.offset, entry.length, entry.kind, entry.symLink,
                                      false, entry.readable);
    result.reserve(listing->entries.size());
    for (LocalFileInfo const& entry : listing->entries)
        result.emplace_back(listing, &entry);
    return result;
}

} // namespace

std::vector<boost::shared_ptr<FileInfoInterface const>>
LocalFileInfo::children(std::string const& filter) const
{
    if (kind_ != Kind::Directory)
        return {};
    auto const listing = boost::make_shared<Listing>();

    // A walk from a root reads its directories ahead; the directories below
    // take their reads.
    std::shared_ptr<DirectoryReader> reader;
    if (filter.empty() && !root_)
        reader = listing_->reader;
    if (reader) {
        std::optional<DirectoryRead> read = reader->take(path());
        if (read)
            return listingOf(listing, std::move(*read), ancestors(), std::move(reader));
    }

    DirectoryRead read;
    read.path = path();
    int const directory = directoryDescriptor();
    int const fd = directory >= 0
                       ? openat(directory, nameText(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY)
                       : openDirectory(read.path);
    if (fd < 0) {
        read.error = errno;
        return listingOf(listing, std::move(read), ancestors(), std::move(reader));
    }
    // The listing keeps the directory open, for its entries, unless too many do.
    if (openListings.fetch_add(1, std::memory_order_relaxed) < maxOpenListings) {
        listing->descriptor = fd; // closed with the listing from here on
    } else {
        openListings.fetch_sub(1, std::memory_order_relaxed);
    }
    struct Closer {
        int fd;
        ~Closer()
        {
            if (fd >= 0)
                close(fd);
        }
    } const closer{listing->descriptor >= 0 ? -1 : fd};

    struct stat self {};
    if (fstat(fd, &self) != 0 || isOnPath(ancestors().get(), self.st_dev, self.st_ino)) {
        read.onPath = true;
    } else {
        read.device = self.st_dev;
        read.inode = self.st_ino;
        auto const isAncestor = [&](dev_t device, ino_t inode) {
            return (device == self.st_dev && inode == self.st_ino) ||
                   isOnPath(ancestors().get(), device, inode);
        };
        readEntries(fd, filter, isAncestor, false, self, read);
        if (root_ && filter.empty()) {
            std::vector<std::string> directories;
            for (ReadEntry const& entry : read.entries)
                if (entry.kind == Kind::Directory)
                    directories.emplace_back(read.names, entry.offset, entry.length);
            if (!directories.empty())
                reader = DirectoryReader::start(read.path, std::move(directories));
        }
    }
    return listingOf(listing, std::move(read), ancestors(), std::move(reader));
}
