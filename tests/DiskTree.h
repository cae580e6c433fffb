#pragma once

#include <QString>

#include <string>
#include <vector>

// A folder tree on disk, made for one test and removed with everything in it
// when the object goes, including folders left unreadable and paths longer
// than the system's path limit. Relative paths name entries below the root;
// missing parent folders are created on the way.
class DiskTree {
public:
    enum class Place {
        TempDir, // under TMPDIR, or /tmp
        Memory   // on /dev/shm when it can be written (large trees build fast there), else TempDir
    };

    explicit DiskTree(Place place = Place::TempDir);
    ~DiskTree();

    DiskTree(DiskTree const&) = delete;
    DiskTree& operator=(DiskTree const&) = delete;

    std::string const& root() const { return root_; }
    std::string path(std::string const& relative) const { return root_ + "/" + relative; }

    void dir(std::string const& relative) const;
    void file(std::string const& relative) const;
    void symlink(std::string const& relative, std::string const& target) const;
    void fifo(std::string const& relative) const;
    // A bound Unix-domain socket; its descriptor is closed, the entry stays.
    void socket(std::string const& relative) const;
    void chmod(std::string const& relative, unsigned mode) const;

private:
    std::string root_;
};

// Removes a folder and everything below it, one level at a time through
// descriptors, so that neither depth nor permissions stop it.
void removeTree(std::string const& root);

// What one crawl of a folder on disk gave.
struct CrawlOutcome {
    std::vector<std::string> files;       // relative paths, in walk order
    std::vector<std::string> directories; // processingDirectory arguments, as UTF-8
    QString errorString;
};

// Crawls `root` through LocalFileInfo on the crawler's own thread. A crawl
// that does not end within a minute is reported and ends the test program
// rather than hanging it.
CrawlOutcome crawlOnDisk(std::string const& root);

// The same crawl run on the calling thread (FolderCrawler::run() called
// directly), for a child process that must not start threads.
CrawlOutcome crawlOnDiskHere(std::string const& root);
