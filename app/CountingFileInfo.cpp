#include "CountingFileInfo.h"

#include "host/WalkLimits.h"

#include <boost/make_shared.hpp>

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

namespace cli {
namespace {

// The system's reason in a failure's message, when it is one of running out
// of a resource of the machine (the host reports failed opens by message).
char const* exhaustedResource(std::exception const& error)
{
    if (auto const* system = dynamic_cast<std::system_error const*>(&error)) {
        int const code = system->code().value();
        return code == EMFILE || code == ENFILE || code == ENOMEM || code == EAGAIN ? std::strerror(code)
                                                                                    : nullptr;
    }
    for (int const code : {EMFILE, ENFILE, ENOMEM})
        if (std::strstr(error.what(), std::strerror(code)) != nullptr)
            return std::strerror(code);
    return nullptr;
}

} // namespace

CountingFileInfo::CountingFileInfo(boost::shared_ptr<FileInfoInterface const> inner,
                                   std::shared_ptr<Counter> files, std::shared_ptr<CrawlStop> stop)
    : ForwardingFileInfo(std::move(inner)), files_(std::move(files)), stop_(std::move(stop))
{
}

void CountingFileInfo::record(CrawlStop::Kind kind, char const* what) const noexcept
{
    if (stop_->kind != CrawlStop::None)
        return;
    stop_->kind = kind;
    try {
        stop_->what = what;
        stop_->path = inner_->path();
    } catch (...) {
        // Out of memory again: the kind is enough.
    }
}

bool CountingFileInfo::isReadable() const
{
    bool const readable = inner_->isReadable();
    if (!readable && inner_->isDirectory())
        record(CrawlStop::FolderUnreadable, "");
    return readable;
}

std::vector<boost::shared_ptr<FileInfoInterface const>>
CountingFileInfo::children(std::string const& filter) const
{
    try {
        std::vector<boost::shared_ptr<FileInfoInterface const>> entries = inner_->children(filter);
        std::uint64_t files = 0;
        for (boost::shared_ptr<FileInfoInterface const>& entry : entries) {
            if (entry->isFile())
                ++files;
            else if (entry->isDirectory())
                entry = boost::make_shared<CountingFileInfo const>(std::move(entry), files_, stop_);
        }
        files_->fetch_add(files, std::memory_order_relaxed);
        return entries;
    } catch (WalkLimitExceeded const&) {
        record(CrawlStop::LimitPassed, "");
        throw;
    } catch (std::bad_alloc const&) {
        record(CrawlStop::ResourcesExhausted, "memory ran out");
        throw;
    } catch (std::exception const& error) {
        char const* const resource = exhaustedResource(error);
        record(resource != nullptr ? CrawlStop::ResourcesExhausted : CrawlStop::FolderUnreadable,
               resource != nullptr ? resource : "");
        throw;
    }
}

} // namespace cli
