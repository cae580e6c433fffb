#include "CountingFileInfo.h"

#include "host/WalkLimits.h"

#include <boost/make_shared.hpp>

#include <utility>

namespace cli {

CountingFileInfo::CountingFileInfo(boost::shared_ptr<FileInfoInterface const> inner,
                                   std::shared_ptr<Counter> files, std::shared_ptr<Flag> limitPassed)
    : inner_(std::move(inner)), files_(std::move(files)), limitPassed_(std::move(limitPassed))
{
}

bool CountingFileInfo::walkLimitPassed() const
{
    return limitPassed_->load(std::memory_order_relaxed);
}

bool CountingFileInfo::isDirectory() const
{
    return inner_->isDirectory();
}

bool CountingFileInfo::isReadable() const
{
    return inner_->isReadable();
}

bool CountingFileInfo::isWritable() const
{
    return inner_->isWritable();
}

bool CountingFileInfo::isFile() const
{
    return inner_->isFile();
}

bool CountingFileInfo::exists() const
{
    return inner_->exists();
}

bool CountingFileInfo::isSymLink() const
{
    return inner_->isSymLink();
}

std::string CountingFileInfo::path() const
{
    return inner_->path();
}

std::string CountingFileInfo::name() const
{
    return inner_->name();
}

std::uint64_t CountingFileInfo::size() const
{
    return inner_->size();
}

std::vector<boost::shared_ptr<FileInfoInterface const>>
CountingFileInfo::children(std::string const& filter) const
{
    std::vector<boost::shared_ptr<FileInfoInterface const>> entries;
    try {
        entries = inner_->children(filter);
    } catch (WalkLimitExceeded const&) {
        limitPassed_->store(true, std::memory_order_relaxed);
        throw;
    }
    std::uint64_t files = 0;
    for (boost::shared_ptr<FileInfoInterface const>& entry : entries) {
        if (entry->isFile())
            ++files;
        else if (entry->isDirectory())
            entry = boost::make_shared<CountingFileInfo const>(std::move(entry), files_, limitPassed_);
    }
    files_->fetch_add(files, std::memory_order_relaxed);
    return entries;
}

} // namespace cli
