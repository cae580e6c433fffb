#pragma once

#include "host/WalkLimits.h"

#include <QString>

#include <string>
#include <vector>

// A folder tree on disk, made for one test and removed with everything in it
// when the object goes: folders left unreadable, names that are not UTF-8 and
// paths longer than the system's limit included. Relative paths name entries
// below the root; missing folders on the way are created.
class DiskTree {
public:
    // In memory (/dev/shm, when it can be written) large trees are made and
    // removed much faster.
    explicit DiskTree(bool inMemory = false);
    ~DiskTree();
    DiskTree(DiskTree const&) = delete;
    DiskTree& operator=(DiskTree const&) = delete;

    std::string const& root() const { return root_; }
    std::string path(std::string const& relative) const { return root_ + "/" + relative; }
    QString qpath(std::string const& relative) const
    {
        return QString::fromLocal8Bit(path(relative).c_str());
    }

    void dir(std::string const& relative) const;
    void file(std::string const& relative) const;
    void symlink(std::string const& relative, std::string const& target) const;
    void fifo(std::string const& relative) const;
    void socket(std::string const& relative) const; // a bound Unix-domain socket, closed again
    void chmod(std::string const& relative, unsigned mode) const;

private:
    std::string place(std::string const& relative) const; // its path, with the folders on the way made

    std::string root_;
};

// What one crawl of a folder on disk gave.
struct CrawlOutcome {
    std::vector<std::string> files;       // relative paths, in walk order
    std::vector<std::string> directories; // processingDirectory arguments
    QString errorString;
};

// Crawls `root` through LocalFileInfo with `options` on the crawler's own
// thread, or with `here` on the calling one (for a child process). A crawl
// that does not end within a minute ends the test program.
CrawlOutcome crawlOnDisk(std::string const& root, bool here = false,
                         WalkOptions const& options = WalkOptions());
