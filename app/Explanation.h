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

// A machine-readable name for the kind of reason (missing-text, ...).
char const* kindName(UnmatchedReason::Kind kind);

// The indexes of the patterns whose text occurs in `root`, the crawled
// folder's own absolute path: the library matches only the paths below it,
// so those texts are never found where the user sees them.
std::vector<std::size_t> patternsInRoot(std::string const& root,
                                        std::vector<MetadataPattern> const& patterns);
// The folder above the component of `root` where the first of those texts
// begins: crawled instead, it makes the text part of the matched paths.
// Empty when no pattern text occurs in `root`.
std::string folderToCrawl(std::string const& root, std::vector<MetadataPattern> const& patterns);

// The files in no case, grouped by reason, with counts and a few examples.
class Explanation {
public:
    static constexpr std::size_t EXAMPLES = 3;
    static constexpr std::size_t ALL = std::size_t(-1);

    // Keeps `examples` paths per reason (ALL: every one).
    explicit Explanation(std::vector<MetadataPattern> patterns, std::size_t examples = EXAMPLES);

    // The crawled folder, as given; the report says which pattern texts
    // occur in its absolute path.
    void setRoot(std::string const& root);

    void add(std::string const& path, std::vector<MetadataInfo> const& records);

    struct Group {
        UnmatchedReason reason;
        std::size_t count = 0;
        std::vector<std::string> examples; // the first ones added
    };
    // The largest groups first; equal ones in pattern order.
    std::vector<Group> groups() const;
    std::size_t unmatchedCount() const { return unmatched_; }

    // The report: a first line with the counts, a note on pattern texts in
    // ROOT's own path, then each group.
    void write(std::size_t fileCount, QIODevice& device) const;
    // The same as one JSON object: fileCount, unmatchedFileCount, root,
    // patternsInRoot (texts), suggestedRoot (null when none), and reasons,
    // each with reason (the text line), kind, pattern, count and paths.
    void writeJson(std::size_t fileCount, QIODevice& device) const;

private:
    std::vector<MetadataPattern> patterns_;
    std::size_t examples_;
    std::string root_; // absolute
    std::map<UnmatchedReason, Group> groups_;
    std::size_t unmatched_ = 0;
};

} // namespace cli
