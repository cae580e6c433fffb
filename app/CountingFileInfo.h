#pragma once

#include "host/FileInfoInterface.h"

#include <boost/shared_ptr.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cli {

// Wraps a folder so that a crawl through it counts the files it lists, for a
// progress display that cannot read the crawler's result while it runs.
// Every question is forwarded; the listed folders come back wrapped too.
// Only the count is added: one relaxed atomic addition per listed folder.
// A listing that ends in WalkLimitExceeded is recorded (in `limitPassed`,
// shared with the listed folders), for the program's exit status.
class CountingFileInfo : public FileInfoInterface {
public:
    using Counter = std::atomic<std::uint64_t>;
    using Flag = std::atomic<bool>;

    CountingFileInfo(boost::shared_ptr<FileInfoInterface const> inner, std::shared_ptr<Counter> files,
                     std::shared_ptr<Flag> limitPassed = std::make_shared<Flag>(false));

    // Whether a listing below stopped at a limit of the walk. Read it after the crawl.
    bool walkLimitPassed() const;

    bool isDirectory() const override;
    bool isReadable() const override;
    bool isWritable() const override;
    bool isFile() const override;
    bool exists() const override;
    bool isSymLink() const override;
    std::string path() const override;
    std::string name() const override;
    std::uint64_t size() const override;
    std::vector<boost::shared_ptr<FileInfoInterface const>>
    children(std::string const& filter) const override;

private:
    boost::shared_ptr<FileInfoInterface const> inner_;
    std::shared_ptr<Counter> files_;
    std::shared_ptr<Flag> limitPassed_;
};

} // namespace cli
