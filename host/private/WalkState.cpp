#include "host/private/WalkState.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <utility>

namespace localfile {

Walk::Walk(WalkOptions const& options)
    : options_(options),
      descriptors_(options.openDescriptors > 0 ? options.openDescriptors : defaultDescriptorBudget())
{
}

Walk::~Walk() = default;

void Walk::readAhead(std::string root, std::vector<std::string> directories)
{
    reader_ =
        DirectoryReader::start(std::move(root), std::move(directories), descriptors_, options_.readerThreads,
                               options_.readAheadBytes, options_.skipDirectory, options_.maxReaderThreads);
}

std::optional<DirectoryRead> Walk::take(std::string const& path)
{
    if (!reader_)
        return std::nullopt;
    return reader_->take(path);
}

void Walk::shedDescriptors()
{
    descriptors_.shed();
    if (reader_)
        reader_->stop();
}

std::size_t Walk::IdentityHash::operator()(Identity const& identity) const
{
    return std::hash<ino_t>()(identity.inode) * 31 + std::hash<dev_t>()(identity.device);
}

void Walk::enter(dev_t device, ino_t inode, std::string const& path)
{
    std::size_t const way = std::hash<std::string_view>()(path);
    support::MutexLock const lock(waysMutex_);
    auto const [found, added] = ways_.try_emplace(Identity{device, inode}, Ways{way, {}});
    if (added)
        return;
    Ways& ways = found->second;
    if (ways.first == way || std::find(ways.more.begin(), ways.more.end(), way) != ways.more.end())
        return;
    if (1 + ways.more.size() >= options_.maxWaysPerFolder)
        throw WalkLimitExceeded(path, options_.maxWaysPerFolder);
    ways.more.push_back(way);
}

} // namespace localfile
