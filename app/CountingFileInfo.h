#pragma once

#include "ForwardingFileInfo.h"

#include "host/FileInfoInterface.h"

#include <boost/shared_ptr.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cli {

// What stopped a crawl, as the folders saw it: the crawler keeps only the
// message of whatever stopped it, which cannot tell a folder that may not be
// read from a machine that ran out of memory or descriptors.
struct CrawlStop {
    enum Kind {
        None,
        FolderUnreadable,   // a folder was reported not readable, or could not be listed
        ResourcesExhausted, // memory, descriptors or the like ran out while listing a folder
        LimitPassed         // the walk passed one of its limits (WalkLimitExceeded)
    };
    Kind kind = None;
    std::string path; // the folder
    std::string what; // for ResourcesExhausted: what ran out
};

// Wraps a folder so that a crawl through it counts the files it lists, for a
// progress display that cannot read the crawler's result while it runs, and
// records in `stop` why a folder stopped the crawl (the first reason only).
// Every question is forwarded; the listed folders come back wrapped too.
// Only the count is added: one relaxed atomic addition per listed folder.
class CountingFileInfo : public ForwardingFileInfo {
public:
    using Counter = std::atomic<std::uint64_t>;

    CountingFileInfo(boost::shared_ptr<FileInfoInterface const> inner, std::shared_ptr<Counter> files,
                     std::shared_ptr<CrawlStop> stop);

    bool isReadable() const override;
    std::vector<boost::shared_ptr<FileInfoInterface const>>
    children(std::string const& filter) const override;

private:
    void record(CrawlStop::Kind kind, char const* what) const noexcept;

    std::shared_ptr<Counter> files_;
    std::shared_ptr<CrawlStop> stop_; // written on the crawler's thread, read once it has ended
};

} // namespace cli
