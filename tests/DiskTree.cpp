#include "DiskTree.h"

#include "filecrawler/FolderCrawler.h"
#include "host/LocalFileInfo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <list>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(std::string const& what, std::string const& path)
{
    throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

int openFolder(int at, char const* name)
{
    return openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// A descriptor of the folder that holds the last component of `relative`,
// creating the folders on the way; that component goes to `leaf`. Works one
// component at a time, so the path may be longer than the system allows.
int openParent(std::string const& root, std::string const& relative, std::string& leaf)
{
    int fd = openFolder(AT_FDCWD, root.c_str());
    if (fd < 0)
        fail("cannot open", root);
    std::size_t start = 0;
    for (;;) {
        std::size_t const slash = relative.find('/', start);
        if (slash == std::string::npos) {
            leaf = relative.substr(start);
            return fd;
        }
        std::string const component = relative.substr(start, slash - start);
        start = slash + 1;
        if (component.empty())
            continue;
        if (mkdirat(fd, component.c_str(), 0755) != 0 && errno != EEXIST)
            fail("cannot create", relative);
        int const next = openFolder(fd, component.c_str());
        close(fd);
        if (next < 0)
            fail("cannot open", relative);
        fd = next;
    }
}

// Lists the names in a folder, without "." and "..".
std::vector<std::string> namesIn(int fd)
{
    std::vector<std::string> names;
    int const copy = dup(fd);
    DIR* const dir = copy < 0 ? nullptr : fdopendir(copy);
    if (dir == nullptr) {
        if (copy >= 0)
            close(copy);
        return names;
    }
    while (dirent const* entry = readdir(dir)) {
        std::string const name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    return names;
}

bool isFolder(int at, std::string const& name)
{
    struct stat st {};
    return fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Reads the result first: that orders the walk's writes (the directories
// logged on its thread included) before what this thread reads.
CrawlOutcome outcomeOf(FolderCrawler& crawler, std::vector<std::string>& directories)
{
    FolderCrawler::Result const& result = crawler.result();
    CrawlOutcome outcome;
    outcome.files.assign(result.files.begin(), result.files.end());
    outcome.errorString = result.errorString;
    outcome.directories = std::move(directories);
    return outcome;
}

void logDirectories(FolderCrawler& crawler, std::vector<std::string>& directories)
{
    QObject::connect(
        &crawler, &FolderCrawler::processingDirectory, &crawler,
        [&directories](QString directory) { directories.push_back(directory.toStdString()); },
        Qt::DirectConnection);
}

} // namespace

DiskTree::DiskTree(Place place)
{
    char const* const tmp = std::getenv("TMPDIR");
    std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (place == Place::Memory && access("/dev/shm", W_OK | X_OK) == 0)
        folder = "/dev/shm";
    std::string pattern = folder + "/crawl-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        fail("cannot create", pattern);
    root_ = pattern;
    // Other users may enter it: the permission tests crawl as one.
    ::chmod(root_.c_str(), 0755);
}

DiskTree::~DiskTree()
{
    removeTree(root_);
}

void DiskTree::dir(std::string const& relative) const
{
    std::string leaf;
    int const fd = openParent(root_, relative, leaf);
    int const made = leaf.empty() ? 0 : mkdirat(fd, leaf.c_str(), 0755);
    int const saved = errno;
    close(fd);
    errno = saved;
    if (made != 0 && errno != EEXIST)
        fail("cannot create", relative);
}

void DiskTree::file(std::string const& relative) const
{
    std::string leaf;
    int const fd = openParent(root_, relative, leaf);
    int const file = openat(fd, leaf.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    int const saved = errno;
    close(fd);
    errno = saved;
    if (file < 0)
        fail("cannot create", relative);
    close(file);
}

void DiskTree::symlink(std::string const& relative, std::string const& target) const
{
    std::string leaf;
    int const fd = openParent(root_, relative, leaf);
    int const made = symlinkat(target.c_str(), fd, leaf.c_str());
    int const saved = errno;
    close(fd);
    errno = saved;
    if (made != 0)
        fail("cannot create", relative);
}

void DiskTree::fifo(std::string const& relative) const
{
    std::string leaf;
    int const fd = openParent(root_, relative, leaf);
    int const made = mkfifoat(fd, leaf.c_str(), 0644);
    int const saved = errno;
    close(fd);
    errno = saved;
    if (made != 0)
        fail("cannot create", relative);
}

void DiskTree::socket(std::string const& relative) const
{
    std::string leaf;
    int const fd = openParent(root_, relative, leaf);
    // Bound through the folder's descriptor, so the root's length does not
    // count against the short socket address.
    std::string const address = "/proc/self/fd/" + std::to_string(fd) + "/" + leaf;
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    bool made = address.size() < sizeof(name.sun_path);
    std::memcpy(name.sun_path, address.c_str(), std::min(address.size() + 1, sizeof(name.sun_path)));
    int const sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    made = made && sock >= 0 && bind(sock, reinterpret_cast<sockaddr const*>(&name), sizeof(name)) == 0;
    int const saved = errno;
    if (sock >= 0)
        close(sock);
    close(fd);
    errno = saved;
    if (!made)
        fail("cannot create", relative);
}

void DiskTree::chmod(std::string const& relative, unsigned mode) const
{
    std::string leaf;
    int const fd = openParent(root_, relative, leaf);
    int const changed = fchmodat(fd, leaf.c_str(), mode, 0);
    int const saved = errno;
    close(fd);
    errno = saved;
    if (changed != 0)
        fail("cannot change the mode of", relative);
}

void removeTree(std::string const& root)
{
    int fd = openFolder(AT_FDCWD, root.c_str());
    if (fd < 0)
        return;
    std::vector<std::string> below; // the folders from the root down to fd
    for (;;) {
        fchmod(fd, 0700);
        std::string sub;
        for (std::string const& name : namesIn(fd)) {
            if (isFolder(fd, name)) {
                sub = name;
                break;
            }
            unlinkat(fd, name.c_str(), 0);
        }
        if (!sub.empty()) {
            fchmodat(fd, sub.c_str(), 0700, 0);
            int const next = openFolder(fd, sub.c_str());
            if (next >= 0) {
                close(fd);
                fd = next;
                below.push_back(sub);
                continue;
            }
            if (unlinkat(fd, sub.c_str(), AT_REMOVEDIR) != 0)
                break; // neither enterable nor removable: give up rather than loop
            continue;
        }
        // This folder is empty now (or as empty as it gets): leave and remove it.
        if (below.empty())
            break;
        int const parent = openFolder(fd, "..");
        close(fd);
        if (parent < 0)
            return;
        fd = parent;
        if (unlinkat(fd, below.back().c_str(), AT_REMOVEDIR) != 0)
            break; // something keeps coming back; do not loop forever
        below.pop_back();
    }
    close(fd);
    rmdir(root.c_str());
}

CrawlOutcome crawlOnDisk(std::string const& root)
{
    FolderCrawler crawler(LocalFileInfo::create(root));
    std::vector<std::string> directories;
    logDirectories(crawler, directories);
    crawler.start();
    if (!crawler.wait(60000)) {
        std::fprintf(stderr, "The crawl of %s did not finish within a minute.\n", root.c_str());
        std::fflush(stderr);
        std::_Exit(1);
    }
    return outcomeOf(crawler, directories);
}

CrawlOutcome crawlOnDiskHere(std::string const& root)
{
    FolderCrawler crawler(LocalFileInfo::create(root));
    std::vector<std::string> directories;
    logDirectories(crawler, directories);
    crawler.run();
    return outcomeOf(crawler, directories);
}
