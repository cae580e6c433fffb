#pragma once

#include "host/LocalFileInfo.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

// Reading one directory of the real file system, for LocalFileInfo and for
// the threads that read a walk's directories ahead of it.
namespace localfile {

using Kind = LocalFileInfo::Kind;

Kind kindOf(mode_t mode);

// `name` in the directory `parent`.
std::string childPath(std::string const& parent, std::string_view name);

// open(), stat() and access() of a path of any length: one longer than the
// system takes is resolved a piece at a time. -1 with errno set on failure.
int openDirectory(std::string const& path);
int statAt(std::string const& path, struct stat* st, int flags);
int accessAt(std::string const& path, int mode);
// The device, inode number, type and size of the folder open at `fd` (the
// rest of `st` zero), as the kernel last knew them: no round trip to a
// server that answered when it was opened. -1 with errno set on failure.
int statOpened(int fd, struct stat* st);

// Whether `mode` access to `name` in the directory `fd` is granted; an entry
// removed since it was listed is not an unreadable one, and neither is one
// that could not be checked for lack of descriptors (opening it will tell).
// Out of memory throws std::bad_alloc.
bool accessible(int fd, char const* name, int mode);
// The same for an access() of a path that gave `result`.
bool accessibleAfter(int result);

// Whether `error` says that the process or the system has run out of descriptors.
bool outOfDescriptors(int error);
// Throws std::bad_alloc when `error` says the kernel is out of memory: that
// is never a property of the folder being read.
void throwIfOutOfMemory(int error);

// How many descriptors a walk keeps open at once by default: a quarter of
// what the process may open, so that the walk leaves most to its host.
std::size_t defaultDescriptorBudget();

// One entry of a directory read: its name in the read's names, what it is,
// and for a directory whether it may be listed and entered (-1: not asked).
struct ReadEntry {
    std::uint32_t offset;
    std::uint32_t length;
    Kind kind;
    bool symLink;
    signed char readable;
};

// What reading one directory found: all that children() needs of it.
struct DirectoryRead {
    std::string path;
    int error = 0;       // errno of opening it, 0 when it was opened
    bool onPath = false; // already on the way from the root: not listed
    dev_t device = 0;
    ino_t inode = 0;
    std::string names; // each followed by NUL
    std::vector<ReadEntry> entries;
};

using IsAncestor = std::function<bool(dev_t device, ino_t inode)>;

// Lists the directory open at `fd` into `read`: every name but "." and ".."
// that `filter` keeps, sorted in byte order, each with its kind taken from the
// listing (stat only for links and entries of unknown type). A link to a
// directory for which `isAncestor(device, inode)` holds is a LinkToAncestor.
// With `checkAccess`, directories are also checked for R_OK | X_OK.
//
// `self` is the directory's fstat: its st_size, on file systems that give
// its listing's size there (as ext4 does), makes room for the names at once.
void readEntries(int fd, std::string const& filter, IsAncestor const& isAncestor, bool checkAccess,
                 struct stat const& self, DirectoryRead& read);

} // namespace localfile
