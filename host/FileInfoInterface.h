#pragma once

#include "host/Export.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

// The host's view of one file-system entry. The crawler walks a tree through
// this interface only, so hosts can crawl real disks, archives or fakes.
// Every operation is const and may be called from the crawler's thread; an
// operation that cannot answer throws (norvale::ExceptionBase with a message
// for the user, or std::bad_alloc), and the crawler stops with its message.
class BRIM_HOST_EXPORT FileInfoInterface {
public:
    // A directory: the crawler signals it and asks it for its children.
    virtual bool isDirectory() const = 0;
    // Whether the entry may be read (a directory: listed and entered). Asked
    // of the root and of every entry that is not a file.
    virtual bool isReadable() const = 0;
    // Not called by the library.
    virtual bool isWritable() const = 0;
    // A plain file: listed by the crawler, never entered.
    virtual bool isFile() const = 0;
    // Whether anything is there. Asked of the root.
    virtual bool exists() const = 0;
    // Not called by the library.
    virtual bool isSymLink() const = 0;
    // Full path text of the entry, for messages and progress.
    virtual std::string path() const = 0;
    // Last path component; the crawler joins these with "/" into relative
    // paths.
    virtual std::string name() const = 0;
    // Not called by the library.
    virtual std::uint64_t size() const = 0;
    // Entries directly inside this one, in walk order, none null; "" lists
    // every entry (the crawler passes nothing else). Throws when the entries
    // cannot be listed.
    virtual std::vector<boost::shared_ptr<FileInfoInterface const>>
    children(std::string const& filter) const = 0;
    virtual ~FileInfoInterface();
};
