#include "host/LocalFileInfo.h"

#include "host/ExceptionBase.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

struct LocalFileInfo::Ancestor {
    dev_t device;
    ino_t inode;
    boost::shared_ptr<Ancestor const> parent;
};

// What the entries of one directory listing share. Every shared pointer to
// one of the entries owns the whole listing.
struct LocalFileInfo::Listing {
    Listing() = default;
    Listing(Listing const&) = delete;
    Listing& operator=(Listing const&) = delete;
    ~Listing();

    std::string path;                        // the listed directory (a root's own path)
    boost::shared_ptr<Ancestor const> here;  // the listed directory and those above it
    int descriptor = -1;                     // the listed directory while kept open
    std::string names;                       // the entries' names, each followed by NUL
    std::vector<LocalFileInfo> entries;
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
template <typename Call>
int atPath(std::string const& path, Call call)
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
    return atPath(path, [st, flags](int folder, char const* rest) { return fstatat(folder, rest, st, flags); });
}

int accessAt(std::string const& path, int mode)
{
    return atPath(path,
                  [mode](int folder, char const* rest) { return faccessat(folder, rest, mode, AT_EACCESS); });
}

struct RawEntry {
    std::uint32_t offset;
    std::uint32_t length;
    unsigned char type;
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
                             Kind kind, bool symLink, bool root)
    : listing_(listing), nameOffset_(nameOffset), nameLength_(nameLength), kind_(kind), symLink_(symLink),
      root_(root)
{
}

boost::shared_ptr<FileInfoInterface const> LocalFileInfo::create(std::string const& path)
{
    std::string cleaned = withoutTrailingSeparators(path);
    struct stat target {};
    struct stat link {};
    bool const symLink = statAt(cleaned, &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode);
    Kind kind = Kind::Missing;
    if (statAt(cleaned, &target, 0) == 0)
        kind = kindOf(target.st_mode);
    else if (symLink)
        kind = Kind::Special; // dangling link

    auto const listing = boost::make_shared<Listing>();
    std::size_t const nameStart = lastComponentStart(cleaned);
    listing->names.assign(cleaned, nameStart, std::string::npos);
    listing->path = std::move(cleaned);
    listing->entries.emplace_back(listing.get(), 0, static_cast<std::uint32_t>(listing->names.size()), kind,
                                  symLink, true);
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
    int const mode = kind_ == Kind::Directory ? (R_OK | X_OK) : R_OK;
    int const directory = directoryDescriptor();
    if ((directory >= 0 ? faccessat(directory, nameText(), mode, AT_EACCESS) : accessAt(path(), mode)) == 0)
        return true;
    // An entry removed since it was listed is not an unreadable one.
    return errno == ENOENT || errno == ENOTDIR;
}

bool LocalFileInfo::isWritable() const
{
    if (kind_ == Kind::Missing)
        return false;
    int const directory = directoryDescriptor();
    return (directory >= 0 ? faccessat(directory, nameText(), W_OK, AT_EACCESS) : accessAt(path(), W_OK)) == 0;
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

std::vector<boost::shared_ptr<FileInfoInterface const>>
LocalFileInfo::children(std::string const& filter) const
{
    std::vector<boost::shared_ptr<FileInfoInterface const>> result;
    if (kind_ != Kind::Directory)
        return result;

    int const directory = directoryDescriptor();
    int const fd = directory >= 0
                       ? openat(directory, nameText(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY)
                       : openDirectory(path());
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return result; // removed while the walk ran
        if (errno == EACCES || errno == EPERM)
            throwNotReadable(path());
        throw norvale::ExceptionBase("The specified path: " + path() + " could not be opened: " +
                                         std::strerror(errno) + ".",
                                     false);
    }

    auto const listing = boost::make_shared<Listing>();
    listing->descriptor = fd; // closed with the listing from here on
    if (openListings.fetch_add(1, std::memory_order_relaxed) >= maxOpenListings) {
        openListings.fetch_sub(1, std::memory_order_relaxed);
        listing->descriptor = -1;
    }
    struct Closer {
        int fd;
        bool keep;
        ~Closer()
        {
            if (!keep)
                close(fd);
        }
    } const closer{fd, listing->descriptor >= 0};

    struct stat self {};
    if (fstat(fd, &self) != 0 || isOnPath(ancestors().get(), self.st_dev, self.st_ino))
        return result; // already on the path from the root: never entered twice
    listing->here = boost::make_shared<Ancestor const>(Ancestor{self.st_dev, self.st_ino, ancestors()});
    listing->path = path();

    // Read the names straight from the kernel: no stat per entry, the type
    // comes with the name.
    std::vector<RawEntry> raw;
    std::string& names = listing->names;
    alignas(8) char buffer[32768];
    for (;;) {
        ssize_t const bytes = getdents64(fd, buffer, sizeof buffer);
        if (bytes <= 0)
            break;
        for (ssize_t at = 0; at < bytes;) {
            auto const* entry = reinterpret_cast<dirent64 const*>(buffer + at);
            at += entry->d_reclen;
            char const* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            if (!filter.empty() && fnmatch(filter.c_str(), name, 0) != 0)
                continue;
            std::size_t const length = std::strlen(name);
            raw.push_back(RawEntry{static_cast<std::uint32_t>(names.size()), static_cast<std::uint32_t>(length),
                                   entry->d_type});
            names.append(name, length + 1);
        }
    }
    auto const nameOf = [&names](RawEntry const& entry) {
        return std::string_view(names.data() + entry.offset, entry.length);
    };
    std::sort(raw.begin(), raw.end(),
              [&nameOf](RawEntry const& a, RawEntry const& b) { return nameOf(a) < nameOf(b); });

    listing->entries.reserve(raw.size());
    for (RawEntry const& entry : raw) {
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
            if (kind == Kind::Directory && isOnPath(listing->here.get(), st.st_dev, st.st_ino))
                kind = Kind::LinkToAncestor;
        }
        listing->entries.emplace_back(listing.get(), entry.offset, entry.length, kind, symLink, false);
    }

    result.reserve(listing->entries.size());
    for (LocalFileInfo const& entry : listing->entries)
        result.emplace_back(listing, &entry);
    return result;
}
