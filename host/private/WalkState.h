#pragma once

#include "host/WalkLimits.h"
#include "host/private/DirectoryListing.h"
#include "host/private/DirectoryReader.h"
#include "support/DescriptorBudget.h"
#include "support/ThreadSafety.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

namespace localfile {

// What one walk from a LocalFileInfo root shares: its options, the
// descriptors it keeps, the reads made ahead of it and the ways it entered
// each folder. Made by children() of the root and owned by every listing of
// the walk, so it lives as long as any of the walk's entries; the reader
// threads it owns end with it.
class Walk {
public:
    explicit Walk(WalkOptions const& options);
    Walk(Walk const&) = delete;
    Walk& operator=(Walk const&) = delete;
    ~Walk();

    WalkOptions const& options() const { return options_; }
    support::DescriptorBudget& descriptors() { return descriptors_; }

    // Reads the `directories` of `root` ahead of the walk. Called once, by
    // children() of the root before its entries are handed out.
    void readAhead(std::string root, std::vector<std::string> directories);
    // The read of the folder at `path`, if it was read ahead.
    std::optional<DirectoryRead> take(std::string const& path);
    // Out of descriptors: reads nothing more ahead and keeps nothing open
    // from now on, which frees every descriptor the walk can free.
    void shedDescriptors();

    // Counts the way `path` into the folder (device, inode); throws
    // WalkLimitExceeded once there are more than the options allow. The same
    // path entered again (two walks of the same entries) is not a new way.
    void enter(dev_t device, ino_t inode, std::string const& path) BRIM_EXCLUDES(waysMutex_);

private:
    struct Identity {
        dev_t device;
        ino_t inode;
        bool operator==(Identity const& other) const
        {
            return device == other.device && inode == other.inode;
        }
    };
    struct IdentityHash {
        std::size_t operator()(Identity const& identity) const;
    };
    // Hashes of the paths a folder was entered by: one for almost all.
    struct Ways {
        std::size_t first;
        std::vector<std::size_t> more;
    };

    WalkOptions const options_;
    support::DescriptorBudget descriptors_;
    std::unique_ptr<DirectoryReader> reader_; // null while nothing is read ahead; ends before descriptors_
    support::Mutex waysMutex_;
    std::unordered_map<Identity, Ways, IdentityHash> ways_ BRIM_GUARDED_BY(waysMutex_);
};

} // namespace localfile
