#include "Survey.h"

#include "Explanation.h"
#include "ValueWarnings.h"

#include <string>

namespace cli {
namespace {

// The importer finds a path's records by a search of all its paths, which
// costs more than everything else done per path. Two rules of matching let
// most paths go without it:
// - a path that lacks a pattern text, in order, gets no record at all;
// - the records of a path in a case whose last value ends before a
//   separator hold for every path that begins with the same text up to that
//   separator: each text is found at its first occurrence, and no value is
//   read past a separator.
class RecordSource {
public:
    RecordSource(MetadataFileCrawler const& importer, std::vector<MetadataPattern> const& patterns)
        : importer_(importer), patterns_(patterns)
    {
    }

    std::vector<MetadataInfo> const& recordsOf(std::string const& path)
    {
        if (!prefix_.empty() && path.compare(0, prefix_.size(), prefix_) == 0)
            return records_;
        prefix_.clear();
        if (!holdsEveryText(path)) {
            records_.clear();
            return records_;
        }
        records_ = importer_.metadataInfoList(path);
        if (records_.size() == patterns_.size() && !records_.empty()) {
            MetadataInfo const& last = records_.back();
            std::size_t const separator = path.find_first_of("/\\", last.valuePosition + last.valueLength);
            if (separator != std::string::npos)
                prefix_.assign(path, 0, separator + 1);
        }
        return records_;
    }

private:
    bool holdsEveryText(std::string const& path) const
    {
        std::size_t from = 0;
        for (MetadataPattern const& pattern : patterns_) {
            std::size_t const at = path.find(pattern.pattern, from);
            if (at == std::string::npos)
                return false;
            from = at + 1;
        }
        return true;
    }

    MetadataFileCrawler const& importer_;
    std::vector<MetadataPattern> const& patterns_;
    std::vector<MetadataInfo> records_;
    std::string prefix_; // paths beginning with it have records_
};

} // namespace

void survey(MetadataFileCrawler const& importer, std::vector<MetadataPattern> const& patterns,
            ValueWarnings& warnings, Explanation* explanation)
{
    RecordSource source(importer, patterns);
    for (std::string const& path : importer.files()) {
        std::vector<MetadataInfo> const& records = source.recordsOf(path);
        warnings.add(path, records);
        // A path in a case has one record per pattern; one in no case fewer.
        if (explanation && records.size() < patterns.size())
            explanation->add(path, records);
    }
}

} // namespace cli
