#pragma once

#include "host/Export.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

// The host's view of one file-system entry. The crawler walks a tree through
// this interface only, so hosts can crawl real disks, archives or fakes.
class BRIM_HOST_EXPORT FileInfoInterface {
public:
    virtual bool isDirectory() const = 0;
    virtual bool isReadable() const = 0;
    virtual bool isWritable() const = 0;
    virtual bool isFile() const = 0;
    virtual bool exists() const = 0;
    virtual bool isSymLink() const = 0;
    // Full path text of the entry.
    virtual std::string path() const = 0;
    // Last path component.
    virtual std::string name() const = 0;
    virtual std::uint64_t size() const = 0;
    // Entries directly inside this one, in walk order; "" lists every entry.
    virtual std::vector<boost::shared_ptr<FileInfoInterface const>>
    children(std::string const& filter) const = 0;
    virtual ~FileInfoInterface();
};
