#include "host/LocalFileInfo.h"

#include "host/ExceptionBase.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

struct LocalFileInfo::Ancestor {
    dev_t device;
    ino_t inode;
    boost::shared_ptr<Ancestor const> parent;
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

std::string lastComponent(std::string const& path)
{
    std::size_t const slash = path.rfind('/');
    if (slash == std::string::npos || path.size() == 1)
        return path;
    return path.substr(slash + 1);
}

std::string childPath(std::string const& parent, std::string const& name)
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

struct ListedEntry {
    std::string name;
    unsigned char type;
};

} // namespace

LocalFileInfo::LocalFileInfo(std::string path, std::string name, Kind kind, bool symLink,
                             boost::shared_ptr<Ancestor const> ancestors)
    : path_(std::move(path)), name_(std::move(name)), ancestors_(std::move(ancestors)), kind_(kind),
      symLink_(symLink)
{
}

boost::shared_ptr<FileInfoInterface const> LocalFileInfo::create(std::string const& path)
{
    std::string const cleaned = withoutTrailingSeparators(path);
    struct stat target {};
    struct stat link {};
    bool const symLink = statAt(cleaned, &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode);
    Kind kind = Kind::Missing;
    if (statAt(cleaned, &target, 0) == 0)
        kind = kindOf(target.st_mode);
    else if (symLink)
        kind = Kind::Special; // dangling link
    return boost::make_shared<LocalFileInfo>(cleaned, lastComponent(cleaned), kind, symLink,
                                             boost::shared_ptr<Ancestor const>());
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
    if (accessAt(path_, mode) == 0)
        return true;
    // An entry removed since it was listed is not an unreadable one.
    return errno == ENOENT || errno == ENOTDIR;
}

bool LocalFileInfo::isWritable() const
{
    return kind_ != Kind::Missing && accessAt(path_, W_OK) == 0;
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
    return path_;
}

std::string LocalFileInfo::name() const
{
    return name_;
}

std::uint64_t LocalFileInfo::size() const
{
    struct stat st {};
    if (kind_ != Kind::File || statAt(path_, &st, 0) != 0)
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

    int const fd = openDirectory(path_);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return result; // removed while the walk ran
        if (errno == EACCES || errno == EPERM)
            throwNotReadable(path_);
        throw norvale::ExceptionBase("The specified path: " + path_ + " could not be opened: " +
                                         std::strerror(errno) + ".",
                                     false);
    }

    struct stat self {};
    if (fstat(fd, &self) != 0 || isOnPath(ancestors_.get(), self.st_dev, self.st_ino)) {
        close(fd);
        return result; // already on the path from the root: never entered twice
    }
    auto const here = boost::make_shared<Ancestor const>(Ancestor{self.st_dev, self.st_ino, ancestors_});

    DIR* const dir = fdopendir(fd);
    if (dir == nullptr) {
        close(fd);
        throwNotReadable(path_);
    }

    std::vector<ListedEntry> entries;
    errno = 0;
    while (dirent const* entry = readdir(dir)) {
        char const* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (!filter.empty() && fnmatch(filter.c_str(), name, 0) != 0)
            continue;
        entries.push_back(ListedEntry{name, entry->d_type});
    }
    std::sort(entries.begin(), entries.end(),
              [](ListedEntry const& a, ListedEntry const& b) { return a.name < b.name; });

    result.reserve(entries.size());
    for (ListedEntry& entry : entries) {
        unsigned char type = entry.type;
        bool symLink = type == DT_LNK;
        Kind kind = Kind::Special;
        struct stat st {};
        if (type == DT_UNKNOWN) {
            if (fstatat(fd, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // removed while listed
            symLink = S_ISLNK(st.st_mode);
            if (!symLink)
                kind = kindOf(st.st_mode);
        } else if (type == DT_REG) {
            kind = Kind::File;
        } else if (type == DT_DIR) {
            kind = Kind::Directory;
        }
        if (symLink && fstatat(fd, entry.name.c_str(), &st, 0) == 0) {
            kind = kindOf(st.st_mode);
            if (kind == Kind::Directory && isOnPath(here.get(), st.st_dev, st.st_ino))
                kind = Kind::LinkToAncestor;
        }
        std::string path = childPath(path_, entry.name);
        result.push_back(boost::make_shared<LocalFileInfo const>(std::move(path), std::move(entry.name),
                                                                 kind, symLink, here));
    }
    closedir(dir);
    return result;
}
