#pragma once

#include "filecrawler/MetadataFileCrawler.h"
#include "filecrawler/MetadataPattern.h"

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

class Explanation;
class ValueWarnings;

// The records the importer gives for each of its paths, asked in the order
// of its files(). The importer finds a path's records by a search of all its
// paths, which costs more than all else done per path; two rules of matching
// let most paths go without it:
// - a path that lacks a pattern text, in order, gets no record at all;
// - the records of a path in a case whose last value ends before a
//   separator hold for every path that begins with the same text up to that
//   separator: each text is found at its first occurrence, and no value is
//   read past a separator.
class PathRecords {
public:
    PathRecords(MetadataFileCrawler const& importer, std::vector<MetadataPattern> const& patterns);

    // The same as importer.metadataInfoList(path); valid until the next call.
    std::vector<MetadataInfo> const& of(std::string const& path);

private:
    bool holdsEveryText(std::string const& path);

    MetadataFileCrawler const& importer_;
    std::vector<MetadataPattern> const& patterns_;
    std::vector<MetadataInfo> records_;
    std::string prefix_;                 // paths that begin with it have records_
    std::vector<std::size_t> positions_; // reused by holdsEveryText
};

// One pass over the importer's paths in their order: each path with the
// records the importer gives for it goes to `warnings`, and, when
// `explanation` is given, each path in no case goes there.
void survey(MetadataFileCrawler const& importer, std::vector<MetadataPattern> const& patterns,
            ValueWarnings& warnings, Explanation* explanation);

} // namespace cli
