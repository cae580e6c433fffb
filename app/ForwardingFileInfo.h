#pragma once

#include "host/FileInfoInterface.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <utility>

namespace cli {

// A file-information wrapper that forwards every question to the entry it
// wraps. The program's wrappers derive from it and override what they add
// to (children() always: the listed folders come back wrapped too).
class ForwardingFileInfo : public FileInfoInterface {
public:
    explicit ForwardingFileInfo(boost::shared_ptr<FileInfoInterface const> inner) : inner_(std::move(inner))
    {
    }

    bool isDirectory() const override { return inner_->isDirectory(); }
    bool isReadable() const override { return inner_->isReadable(); }
    bool isWritable() const override { return inner_->isWritable(); }
    bool isFile() const override { return inner_->isFile(); }
    bool exists() const override { return inner_->exists(); }
    bool isSymLink() const override { return inner_->isSymLink(); }
    std::string path() const override { return inner_->path(); }
    std::string name() const override { return inner_->name(); }
    std::uint64_t size() const override { return inner_->size(); }

protected:
    boost::shared_ptr<FileInfoInterface const> const inner_;
};

} // namespace cli
