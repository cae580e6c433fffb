#pragma once

#include "filecrawler/MetadataInfo.h"
#include "filecrawler/MetadataPattern.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

class QIODevice;

namespace cli {

// Why a path belongs to no case, by the rules the library matches with:
// each pattern text is searched from one byte after the previous one's
// start, and each value is read right after its text, within the part of the
// path that ends where the next pattern's text begins.
struct UnmatchedReason {
    enum Kind {
        MissingText,    // `pattern`'s text is not in the path (after the previous pattern's)
        NoRoomForValue, // the next pattern's text begins inside `pattern`'s own text
        NotANumber,     // a numeric `pattern` is not followed by a number
        TextTooShort    // a text `pattern`'s value would end the file name with fewer than two characters
    };
    std::size_t pattern;
    Kind kind;

    bool operator<(UnmatchedReason const& other) const
    {
        return pattern != other.pattern ? pattern < other.pattern : kind < other.kind;
    }
};

// The reason for a path that matched no case. `records` are the library's
// records for the path (MetadataInfoProviderInterface::metadataInfoList):
// those of the patterns read before the failure.
UnmatchedReason unmatchedReason(std::string const& path, std::vector<MetadataPattern> const& patterns,
                                std::vector<MetadataInfo> const& records);

// One line saying what `reason` means, naming the patterns by their texts.
std::string describe(UnmatchedReason const& reason, std::vector<MetadataPattern> const& patterns);

// The files in no case, grouped by reason, with counts and a few examples.
class Explanation {
public:
    static constexpr std::size_t EXAMPLES = 3;

    explicit Explanation(std::vector<MetadataPattern> patterns);

    void add(std::string const& path, std::vector<MetadataInfo> const& records);

    struct Group {
        UnmatchedReason reason;
        std::size_t count = 0;
        std::vector<std::string> examples; // the first ones added
    };
    // The largest groups first; equal ones in pattern order.
    std::vector<Group> groups() const;
    std::size_t unmatchedCount() const { return unmatched_; }

    // The report: a first line with the counts, then each group.
    void write(std::size_t fileCount, QIODevice& device) const;

private:
    std::vector<MetadataPattern> patterns_;
    std::map<UnmatchedReason, Group> groups_;
    std::size_t unmatched_ = 0;
};

} // namespace cli
