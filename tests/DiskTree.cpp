#include "DiskTree.h"

#include "filecrawler/FolderCrawler.h"
#include "host/LocalFileInfo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

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
    // chmod and rm walk by descriptors: neither modes nor depth stop them.
    std::string const quoted = "'" + root_ + "'";
    int const status = std::system(("chmod -R u+rwx " + quoted + " 2>/dev/null; rm -rf " + quoted).c_str());
    static_cast<void>(status);
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
