#include "host/LocalFileInfo.h"

#include "host/ExceptionBase.h"
#include "host/private/DirectoryListing.h"
#include "host/private/WalkConfig.h"
#include "host/private/WalkState.h"
#include "support/DescriptorBudget.h"
#include "support/UniqueFd.h"

#include <boost/make_shared.hpp>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <thread>
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

    // The walk the listing belongs to; a root's own listing holds only the
    // options of the walks its children() start. Declared first, it goes
    // last: the descriptor below gives its place back to the walk's budget.
    std::shared_ptr<localfile::Walk> walk;
    std::string path;                       // the listed directory (a root's own path)
    boost::shared_ptr<Ancestor const> here; // the listed directory and those above it
    support::KeptDescriptor descriptor;     // the listed directory while kept open
    std::string names;                      // the entries' names, each followed by NUL
    std::vector<LocalFileInfo> entries;
};

namespace {

using Kind = LocalFileInfo::Kind;
using localfile::accessAt;
using localfile::accessible;
using localfile::accessibleAfter;
using localfile::childPath;
using localfile::DirectoryRead;
using localfile::DirectoryReader;
using localfile::kindOf;
using localfile::openDirectory;
using localfile::outOfDescriptors;
using localfile::readEntries;
using localfile::ReadEntry;
using localfile::statAt;
using localfile::statOpened;
using localfile::throwIfOutOfMemory;
using localfile::Walk;

bool isOnPath(LocalFileInfo::Ancestor const* ancestor, dev_t device, ino_t inode)
{
    for (; ancestor != nullptr; ancestor = ancestor->parent.get())
        if (ancestor->device == device && ancestor->inode == inode)
            return true;
    return false;
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

[[noreturn]] void throwNotReadable(std::string const& path)
{
    throw norvale::ExceptionBase("The specified path: " + path + " is not readable.", false);
}

} // namespace

LocalFileInfo::LocalFileInfo(Listing const* listing, std::uint32_t nameOffset, std::uint32_t nameLength,
                             Kind kind, bool symLink, bool root, signed char readable)
    : listing_(listing), nameOffset_(nameOffset), nameLength_(nameLength), kind_(kind), symLink_(symLink),
      root_(root), readable_(readable)
{
}

boost::shared_ptr<FileInfoInterface const> LocalFileInfo::create(std::string const& path)
{
    return create(path, WalkOptions());
}

boost::shared_ptr<FileInfoInterface const> LocalFileInfo::create(std::string const& path,
                                                                 WalkOptions const& options)
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
    listing->walk = std::make_shared<Walk>(options);
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
    return root_ ? -1 : listing_->descriptor.get();
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
    return accessibleAfter(accessAt(path(), mode));
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
    if (!root_) {
        // Only a hint: nothing is read, whatever thread asks.
        std::vector<LocalFileInfo> const& entries = listing_->entries;
        std::size_t const ahead =
            static_cast<std::size_t>(this - entries.data()) + localfile::config::nameFetchAhead;
        if (ahead < entries.size())
            __builtin_prefetch(entries[ahead].nameText());
    }
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

// The entries of a directory read, in `listing`. `above` are the directories
// above the one read.
std::vector<boost::shared_ptr<FileInfoInterface const>>
listingOf(boost::shared_ptr<LocalFileInfo::Listing> const& listing, DirectoryRead&& read,
          boost::shared_ptr<LocalFileInfo::Ancestor const> const& above)
{
    std::vector<boost::shared_ptr<FileInfoInterface const>> result;
    if (read.error != 0) {
        throwIfOutOfMemory(read.error);
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
    listing->walk->enter(read.device, read.inode, read.path);

    listing->here = boost::make_shared<LocalFileInfo::Ancestor const>(
        LocalFileInfo::Ancestor{read.device, read.inode, above});
    listing->path = std::move(read.path);
    listing->names = std::move(read.names);
    listing->entries.reserve(read.entries.size());
    for (ReadEntry const& entry : read.entries)
        listing->entries.emplace_back(listing.get(), entry.offset, entry.length, entry.kind, entry.symLink,
                                      false, entry.readable);
    result.reserve(listing->entries.size());
    for (LocalFileInfo const& entry : listing->entries)
        result.emplace_back(listing, &entry);
    return result;
}

// Opens the directory `name` in the one open at `directory`, or at `path`
// when that is -1. Out of descriptors, the walk gives up all it keeps and
// opens it by path; should the host hold the rest, it is given a second to
// free some. -1 with errno set when it cannot be opened.
support::UniqueFd openListed(Walk& walk, int directory, char const* name, std::string const& path)
{
    int fd = directory >= 0 ? openat(directory, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY)
                            : openDirectory(path);
    for (int attempt = 0; fd < 0 && outOfDescriptors(errno) && attempt < localfile::config::reopenAttempts;
         ++attempt) {
        if (attempt == 0)
            walk.shedDescriptors();
        else
            std::this_thread::sleep_for(localfile::config::reopenPause);
        fd = openDirectory(path);
    }
    return support::UniqueFd(fd);
}

} // namespace

std::vector<boost::shared_ptr<FileInfoInterface const>>
LocalFileInfo::children(std::string const& filter) const
{
    if (kind_ != Kind::Directory)
        return {};
    auto const listing = boost::make_shared<Listing>();
    // children() of a root starts a walk; the folders below belong to it.
    listing->walk = root_ ? std::make_shared<Walk>(listing_->walk->options()) : listing_->walk;
    Walk& walk = *listing->walk;

    // A walk in name order takes the reads made ahead of it.
    if (filter.empty() && !root_) {
        std::optional<DirectoryRead> read = walk.take(path());
        if (read)
            return listingOf(listing, std::move(*read), ancestors());
    }

    DirectoryRead read;
    read.path = path();
    support::UniqueFd opened = openListed(walk, directoryDescriptor(), nameText(), read.path);
    if (!opened.valid()) {
        read.error = errno;
        return listingOf(listing, std::move(read), ancestors());
    }
    int const fd = opened.get();
    // The listing keeps the directory open, for its entries, while the walk's
    // budget allows; otherwise `opened` closes it when this returns.
    if (walk.descriptors().take())
        listing->descriptor = support::KeptDescriptor(std::move(opened), walk.descriptors());

    struct stat self {};
    if (statOpened(fd, &self) != 0 || isOnPath(ancestors().get(), self.st_dev, self.st_ino)) {
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
                walk.readAhead(read.path, std::move(directories));
        }
    }
    return listingOf(listing, std::move(read), ancestors());
}
