#include "Survey.h"

#include "Explanation.h"
#include "ValueWarnings.h"

#include "filecrawler/MetadataPatternSearch.h"

#include <string>

namespace cli {

PathRecords::PathRecords(MetadataFileCrawler const& importer, std::vector<MetadataPattern> const& patterns)
    : importer_(importer), patterns_(patterns)
{
}

std::vector<MetadataInfo> const& PathRecords::of(std::string const& path)
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

bool PathRecords::holdsEveryText(std::string const& path)
{
    return findMetadataPatternPositions(path, patterns_, positions_);
}

void survey(MetadataFileCrawler const& importer, std::vector<MetadataPattern> const& patterns,
            ValueWarnings& warnings, Explanation* explanation)
{
    PathRecords source(importer, patterns);
    for (std::string const& path : importer.files()) {
        std::vector<MetadataInfo> const& records = source.of(path);
        warnings.add(path, records);
        // A path in a case has one record per pattern; one in no case fewer.
        if (explanation && records.size() < patterns.size())
            explanation->add(path, records);
    }
}

} // namespace cli
