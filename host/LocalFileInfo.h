#pragma once

#include "host/FileInfoInterface.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

// The real file system, as seen by the crawler.
//
// An entry answers from what the directory listing told about it (the entry
// type from readdir) and touches the disk only when it must: a symbolic link
// or an entry of unknown type is resolved once, while its directory is listed.
//
// - children("") lists every entry but "." and "..", sorted by name in byte
//   order; a non-empty filter keeps the names it matches as a shell wildcard.
// - Symbolic links are followed. A directory that is already on the path from
//   the root (a link loop, or a bind mount of an ancestor) is never entered: a
//   link to it is reported as a readable non-directory without children.
// - FIFOs, sockets, devices and dangling links are readable non-directories
//   without children; they are never opened, so a walk neither blocks on nor
//   fails because of them.
// - A directory that cannot be opened for lack of permission is not readable.
//   An entry removed while the walk runs is reported as readable and empty,
//   so a tree that changes under the walk does not stop it.
class LocalFileInfo : public FileInfoInterface {
public:
    enum class Kind : std::uint8_t {
        Missing,      // nothing at the path
        File,         // a regular file, or a link to one
        Directory,    // a directory, or a link to one
        Special,      // FIFO, socket, device or dangling link
        LinkToAncestor // a link to a directory already on the path from the root
    };

    // The entry at `path`; it need not exist. Trailing separators are ignored.
    static boost::shared_ptr<FileInfoInterface const> create(std::string const& path);

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

    Kind kind() const;

    // Identity of a directory on the path from the root; shared by the
    // children of one directory.
    struct Ancestor;

    LocalFileInfo(std::string path, std::string name, Kind kind, bool symLink,
                  boost::shared_ptr<Ancestor const> ancestors);

private:
    std::string path_;
    std::string name_;
    boost::shared_ptr<Ancestor const> ancestors_; // directories above this entry
    Kind kind_;
    bool symLink_;
};
