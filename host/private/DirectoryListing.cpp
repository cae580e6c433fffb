#include "host/private/DirectoryListing.h"

#include "host/private/WalkConfig.h"

#include "support/NameSort.h"
#include "support/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <new>
#include <sys/resource.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace localfile {

namespace {

// Calls `call(folder, rest)` for `path`. A path too long for one system call
// is split at separators: the part before `rest` is opened a piece at a time
// (O_PATH: only search permission is needed, as for the whole path), and its
// descriptor is `folder`. Returns the call's result; -1 with errno set when a
// piece cannot be opened.
template <typename Call> int atPath(std::string const& path, Call call)
{
    if (path.size() < PATH_MAX)
        return call(AT_FDCWD, path.c_str());
    support::UniqueFd folder; // closed, keeping errno, however this returns
    std::size_t start = 0;
    while (path.size() - start >= PATH_MAX) {
        std::size_t const end = path.rfind('/', start + PATH_MAX - 1);
        if (end == std::string::npos || end <= start) {
            errno = ENAMETOOLONG;
            return -1;
        }
        support::UniqueFd next(openat(folder.valid() ? folder.get() : AT_FDCWD,
                                      path.substr(start, end - start).c_str(),
                                      O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!next.valid())
            return -1;
        folder = std::move(next);
        start = end + 1;
    }
    return call(folder.get(), path.c_str() + start);
}

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

} // namespace

Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::File;
    if (S_ISDIR(mode))
        return Kind::Directory;
    return Kind::Special;
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

int statOpened(int fd, struct stat* st)
{
    // The attributes the kernel holds since the folder was opened are enough:
    // its device, inode number and type never change, and its size is only a
    // hint. A file system that asks its server for fresh ones on every stat
    // (as NFS or FUSE with no attribute cache do) is spared a round trip.
    struct statx x {};
    // Where statx is refused (an old kernel, or a sandbox that blocks it with
    // EPERM), fstat answers: a failure here would skip the folder.
    if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_TYPE | STATX_INO | STATX_SIZE, &x) != 0)
        return fstat(fd, st);
    *st = {};
    st->st_dev = makedev(x.stx_dev_major, x.stx_dev_minor);
    st->st_ino = x.stx_ino;
    st->st_mode = x.stx_mode;
    st->st_size = static_cast<off_t>(x.stx_size);
    return 0;
}

int accessAt(std::string const& path, int mode)
{
    return atPath(path,
                  [mode](int folder, char const* rest) { return faccessat(folder, rest, mode, AT_EACCESS); });
}

bool accessible(int fd, char const* name, int mode)
{
    return accessibleAfter(faccessat(fd, name, mode, AT_EACCESS));
}

bool accessibleAfter(int result)
{
    if (result == 0)
        return true;
    throwIfOutOfMemory(errno);
    return errno == ENOENT || errno == ENOTDIR || outOfDescriptors(errno);
}

bool outOfDescriptors(int error)
{
    return error == EMFILE || error == ENFILE;
}

void throwIfOutOfMemory(int error)
{
    if (error == ENOMEM)
        throw std::bad_alloc();
}

std::size_t defaultDescriptorBudget()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return config::descriptorsMost;
    return static_cast<std::size_t>(
        std::min<rlim_t>(limit.rlim_cur / config::descriptorShareDivisor, config::descriptorsMost));
}

void readEntries(int fd, std::string const& filter, IsAncestor const& isAncestor, bool checkAccess,
                 struct stat const& self, DirectoryRead& read)
{
    off_t const size = self.st_size;
    bool const fills = fillsEachListing(fd, self.st_dev);
    std::vector<support::NameRef> raw;
    std::string& names = read.names;
    if (size > 0) {
        auto const bytes = static_cast<std::size_t>(size);
        names.reserve(std::min(bytes, config::reservedNameBytesMost));
        raw.reserve(std::min(bytes / config::bytesPerEntryGuess, config::reservedEntriesMost));
    }
    alignas(8) char buffer[config::listingBufferBytes];
    for (bool more = true; more;) {
        ssize_t const bytes = getdents64(fd, buffer, sizeof buffer);
        if (bytes < 0)
            throwIfOutOfMemory(errno);
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
            raw.push_back(support::NameRef{0, static_cast<std::uint32_t>(names.size()),
                                           static_cast<std::uint32_t>(length), entry->d_type});
            names.append(name, length + 1);
        }
    }
    support::sortByName(raw, names.data(), config::sortOnTwoThreadsFrom);

    read.entries.reserve(raw.size());
    for (support::NameRef const& entry : raw) {
        char const* const name = names.c_str() + entry.offset;
        unsigned char const type = entry.type;
        bool symLink = type == DT_LNK;
        Kind kind = Kind::Special;
        struct stat st {};
        if (type == DT_UNKNOWN) {
            if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                throwIfOutOfMemory(errno);
                continue; // removed while listed
            }
            symLink = S_ISLNK(st.st_mode);
            if (!symLink)
                kind = kindOf(st.st_mode);
        } else if (type == DT_REG) {
            kind = Kind::File;
        } else if (type == DT_DIR) {
            kind = Kind::Directory;
        }
        if (symLink) {
            if (fstatat(fd, name, &st, 0) == 0) {
                kind = kindOf(st.st_mode);
                if (kind == Kind::Directory && isAncestor(st.st_dev, st.st_ino))
                    kind = Kind::LinkToAncestor;
            } else {
                throwIfOutOfMemory(errno); // otherwise it leads nowhere: a special entry
            }
        }
        signed char readable = -1;
        if (checkAccess && kind == Kind::Directory)
            readable = accessible(fd, name, R_OK | X_OK) ? 1 : 0;
        read.entries.push_back(ReadEntry{entry.offset, entry.length, kind, symLink, readable});
    }
}

} // namespace localfile
