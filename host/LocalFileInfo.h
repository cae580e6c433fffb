#pragma once

#include "host/Export.h"
#include "host/FileInfoInterface.h"
#include "host/WalkLimits.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <functional>
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
// - Out of descriptors, the walk closes what it keeps open and goes on by
//   path. Out of memory, children() throws std::bad_alloc: that is never
//   reported as an unreadable directory.
// - children() of a folder reached through more distinct ways (paths through
//   links) than WalkOptions::maxWaysPerFolder within one walk throws
//   WalkLimitExceeded.
//
// The entries of one listing live in one block that their shared pointers
// share, and name their directory by its open descriptor while the listing
// lives (as many listings as the walk's descriptor budget allows; beyond
// that by path), so a walk costs about one allocation and a few system
// calls per directory, not per entry.
//
// children() of an entry made by create() starts a walk, which every entry
// below shares. Threads then read the directories below ahead, in the order
// in which a depth-first walk in name order enters them, and children("")
// of those directories takes the reads instead of reading; the threads end
// with the walk's last listing. Any entries may be walked at once from any
// threads: the reads ahead serve one walk at a time, and children() called
// meanwhile, or out of that order, reads for itself.
class BRIM_HOST_EXPORT LocalFileInfo : public FileInfoInterface {
public:
    enum class Kind : std::uint8_t {
        Missing,       // nothing at the path
        File,          // a regular file, or a link to one
        Directory,     // a directory, or a link to one
        Special,       // FIFO, socket, device or dangling link
        LinkToAncestor // a link to a directory already on the path from the root
    };

    // The entry at `path`; it need not exist. Trailing separators are ignored.
    static boost::shared_ptr<FileInfoInterface const> create(std::string const& path);
    // The same, for walks from it with `options` rather than the defaults.
    static boost::shared_ptr<FileInfoInterface const> create(std::string const& path,
                                                             WalkOptions const& options);

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
    struct BRIM_HOST_NO_EXPORT Ancestor;
    // One directory's listing: the directory, and its entries' names and objects.
    struct BRIM_HOST_NO_EXPORT Listing;

    // Entry `nameLength` bytes at `nameOffset` of the listing's names; made
    // by create() and children() only.
    // `readable` is what isReadable() answers, or -1 when it must ask.
    BRIM_HOST_NO_EXPORT LocalFileInfo(Listing const* listing, std::uint32_t nameOffset,
                                      std::uint32_t nameLength, Kind kind, bool symLink, bool root,
                                      signed char readable);
    LocalFileInfo(LocalFileInfo&&) = default;
    LocalFileInfo(LocalFileInfo const&) = delete;
    LocalFileInfo& operator=(LocalFileInfo const&) = delete;

private:
    BRIM_HOST_NO_EXPORT char const* nameText() const; // NUL-terminated
    // The descriptor of the directory holding this entry, or -1 when the
    // entry must be reached by its path.
    BRIM_HOST_NO_EXPORT int directoryDescriptor() const;
    BRIM_HOST_NO_EXPORT boost::shared_ptr<Ancestor const> const&
    ancestors() const; // directories above this entry

    Listing const* listing_; // kept alive by every shared pointer to this entry
    std::uint32_t nameOffset_;
    std::uint32_t nameLength_;
    Kind kind_;
    bool symLink_;
    bool root_; // made by create(): its path is the listing's path
    signed char readable_;
};
