#include "DiskTree.h"

#include "filecrawler/FolderCrawler.h"
#include "host/LocalFileInfo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

int openFolder(int at, char const* name)
{
    return openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Removes everything below `root` and `root`, one folder at a time through
// descriptors, so that neither depth nor modes stop it.
void removeTree(std::string const& root)
{
    int fd = openFolder(AT_FDCWD, root.c_str());
    std::vector<std::string> below; // the folders from the root down to fd
    while (fd >= 0) {
        fchmod(fd, 0700);
        std::string sub;
        DIR* const dir = fdopendir(dup(fd));
        while (dirent const* entry = dir != nullptr ? readdir(dir) : nullptr) {
            std::string const name = entry->d_name;
            if (name != "." && name != ".." && unlinkat(fd, name.c_str(), 0) != 0 && errno == EISDIR)
                sub = name;
        }
        if (dir != nullptr)
            closedir(dir);
        int const next =
            sub.empty() || fchmodat(fd, sub.c_str(), 0700, 0) != 0 ? -1 : openFolder(fd, sub.c_str());
        if (next >= 0) {
            close(fd);
            fd = next;
            below.push_back(sub);
            continue;
        }
        // Empty now (or as empty as it gets): leave it and remove it.
        int const parent = below.empty() ? -1 : openFolder(fd, "..");
        close(fd);
        fd = parent;
        if (fd >= 0 && unlinkat(fd, below.back().c_str(), AT_REMOVEDIR) != 0)
            break; // something keeps coming back: do not loop
        if (fd >= 0)
            below.pop_back();
    }
    if (fd >= 0)
        close(fd);
    rmdir(root.c_str());
}

void check(bool done, std::string const& relative)
{
    if (!done)
        throw std::runtime_error("cannot make " + relative + ": " + std::strerror(errno));
}

} // namespace

DiskTree::DiskTree(bool inMemory)
{
    char const* const tmp = std::getenv("TMPDIR");
    std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    if (inMemory && access("/dev/shm", W_OK | X_OK) == 0)
        folder = "/dev/shm";
    root_ = folder + "/crawl-XXXXXX";
    check(mkdtemp(root_.data()) != nullptr, root_);
    ::chmod(root_.c_str(), 0755); // the permission tests crawl as another user
}

DiskTree::~DiskTree()
{
    removeTree(root_);
}

std::string DiskTree::place(std::string const& relative) const
{
    std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
    return path(relative);
}

void DiskTree::dir(std::string const& relative) const
{
    std::filesystem::create_directories(path(relative));
}

void DiskTree::file(std::string const& relative) const
{
    int const fd = open(place(relative).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    check(fd >= 0, relative);
    close(fd);
}

void DiskTree::symlink(std::string const& relative, std::string const& target) const
{
    check(::symlink(target.c_str(), place(relative).c_str()) == 0, relative);
}

void DiskTree::fifo(std::string const& relative) const
{
    check(mkfifo(place(relative).c_str(), 0644) == 0, relative);
}

void DiskTree::socket(std::string const& relative) const
{
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    std::strncpy(name.sun_path, place(relative).c_str(), sizeof name.sun_path - 1);
    int const sock = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    check(sock >= 0 && bind(sock, reinterpret_cast<sockaddr const*>(&name), sizeof name) == 0, relative);
    close(sock);
}

void DiskTree::chmod(std::string const& relative, unsigned mode) const
{
    check(::chmod(path(relative).c_str(), mode) == 0, relative);
}

CrawlOutcome crawlOnDisk(std::string const& root, bool here, WalkOptions const& options)
{
    FolderCrawler crawler(LocalFileInfo::create(root, options));
    CrawlOutcome outcome;
    QObject::connect(
        &crawler, &FolderCrawler::processingDirectory, &crawler,
        [&outcome](QString directory) { outcome.directories.push_back(directory.toStdString()); },
        Qt::DirectConnection);
    if (here) {
        crawler.run();
    } else {
        crawler.start();
        if (!crawler.wait(60000)) {
            std::fprintf(stderr, "The crawl of %s did not finish within a minute.\n", root.c_str());
            std::_Exit(1);
        }
    }
    // result() orders the walk's writes (the directories logged on its
    // thread too) before this thread's reads.
    FolderCrawler::Result const& result = crawler.result();
    outcome.files.assign(result.files.begin(), result.files.end());
    outcome.errorString = result.errorString;
    return outcome;
}
