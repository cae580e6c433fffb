#pragma once

#include "ExcludeRules.h"

#include "ForwardingFileInfo.h"

#include "host/FileInfoInterface.h"
#include "host/WalkLimits.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace cli {

// What a crawl leaves out, and the folders it skipped.
class CrawlFilter {
public:
    CrawlFilter(ExcludeRules excludes, bool keepGoing) : excludes_(std::move(excludes)), keepGoing_(keepGoing)
    {
    }

    ExcludeRules const& excludes() const { return excludes_; }
    bool keepGoing() const { return keepGoing_; }

    // Records a folder that could not be read; called on the crawl's thread.
    void skipped(std::string path);
    // The folders skipped so far, in walk order.
    std::vector<std::string> skippedFolders() const;

private:
    ExcludeRules const excludes_;
    bool const keepGoing_;
    mutable std::mutex mutex_;
    std::vector<std::string> skipped_;
};

// Wraps a folder so that a crawl through it never sees the entries the
// filter excludes (so an excluded folder is never listed) and, with
// keepGoing, never sees a folder it may not read: such a folder is left out
// of its parent's entries and recorded, as is one whose listing is refused.
// Every other question is forwarded; the listed folders come back wrapped.
class FilteredFileInfo : public ForwardingFileInfo {
public:
    // `relativePath`: the folder's path relative to the crawl's root ("" for the root).
    FilteredFileInfo(boost::shared_ptr<FileInfoInterface const> inner, std::shared_ptr<CrawlFilter> filter,
                     std::string relativePath);

    std::vector<boost::shared_ptr<FileInfoInterface const>>
    children(std::string const& filter) const override;

private:
    std::shared_ptr<CrawlFilter> filter_;
    std::string relativePath_;
};

// ROOT through LocalFileInfo, wrapped when `filter` leaves something out or
// keeps going. The folders it excludes are not read ahead either.
// `walk` as LocalFileInfo::create takes it.
boost::shared_ptr<FileInfoInterface const>
filteredRoot(std::string const& root, std::shared_ptr<CrawlFilter> const& filter, WalkOptions walk);

} // namespace cli
