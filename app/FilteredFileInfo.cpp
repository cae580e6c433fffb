#include "FilteredFileInfo.h"

#include "filecrawler/FolderCrawler.h"
#include "host/ExceptionBase.h"
#include "host/LocalFileInfo.h"

#include <boost/make_shared.hpp>

#include <utility>

namespace cli {

void CrawlFilter::skipped(std::string path)
{
    std::lock_guard<std::mutex> const lock(mutex_);
    skipped_.push_back(std::move(path));
}

std::vector<std::string> CrawlFilter::skippedFolders() const
{
    std::lock_guard<std::mutex> const lock(mutex_);
    return skipped_;
}

FilteredFileInfo::FilteredFileInfo(boost::shared_ptr<FileInfoInterface const> inner,
                                   std::shared_ptr<CrawlFilter> filter, std::string relativePath)
    : ForwardingFileInfo(std::move(inner)), filter_(std::move(filter)), relativePath_(std::move(relativePath))
{
}

std::vector<boost::shared_ptr<FileInfoInterface const>>
FilteredFileInfo::children(std::string const& filter) const
{
    std::vector<boost::shared_ptr<FileInfoInterface const>> entries;
    try {
        entries = inner_->children(filter);
    } catch (norvale::ExceptionBase const& error) {
        // Readable when its parent was listed, refused now: skipped as well.
        std::string const path = inner_->path();
        if (!filter_->keepGoing() || error.what() != FolderCrawler::pathIsNotReadableErrorString(path))
            throw;
        filter_->skipped(path);
        return {};
    }

    ExcludeRules const& excludes = filter_->excludes();
    bool const byPath = excludes.hasPathGlobs(); // else no relative path is needed
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        boost::shared_ptr<FileInfoInterface const> entry = std::move(entries[i]);
        bool const file = entry->isFile();
        std::string relativePath;
        if (!excludes.empty()) {
            std::string const name = entry->name();
            if (byPath)
                relativePath = relativePath_.empty() ? name : relativePath_ + "/" + name;
            if (excludes.excludes(name, relativePath, !file && entry->isDirectory()))
                continue;
        }
        if (!file) {
            if (filter_->keepGoing() && !entry->isReadable()) {
                filter_->skipped(entry->path());
                continue;
            }
            if (entry->isDirectory())
                entry = boost::make_shared<FilteredFileInfo const>(std::move(entry), filter_,
                                                                   std::move(relativePath));
        }
        entries[kept++] = std::move(entry);
    }
    entries.resize(kept);
    return entries;
}

boost::shared_ptr<FileInfoInterface const>
filteredRoot(std::string const& root, std::shared_ptr<CrawlFilter> const& filter, WalkOptions walk)
{
    if (filter->excludes().empty() && !filter->keepGoing())
        return LocalFileInfo::create(root, walk);
    if (!filter->excludes().empty())
        walk.skipDirectory = [filter](std::string const& relativePath) {
            return filter->excludes().excludesFolder(relativePath);
        };
    return boost::make_shared<FilteredFileInfo const>(LocalFileInfo::create(root, walk), filter,
                                                      std::string());
}

} // namespace cli
