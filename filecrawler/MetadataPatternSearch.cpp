#include "filecrawler/MetadataPatternSearch.h"

#include "filecrawler/private/CrawlerFilePath.h"
#include "filecrawler/private/PathValueScanner.h"

bool findMetadataPatternPositions(std::string_view path, std::vector<MetadataPattern> const& patterns,
                                  std::vector<std::size_t>& positions)
{
    return pathvalue::findPatternPositions(path, patterns, positions);
}

struct MetadataInfoReader::Impl {
    std::vector<MetadataPattern> patterns;
    CrawlerFilePath::Scratch scratch;
    std::vector<MetadataInfo> records;
};

MetadataInfoReader::MetadataInfoReader(std::vector<MetadataPattern> patterns)
    : impl_(std::make_unique<Impl>())
{
    impl_->patterns = std::move(patterns);
}

MetadataInfoReader::~MetadataInfoReader() = default;

std::vector<MetadataInfo> const& MetadataInfoReader::read(std::string_view path)
{
    Impl& impl = *impl_;
    // Every path is read afresh: the scratch's reuse of the path before
    // would view a path the caller may have let go.
    impl.scratch.readWith = nullptr;
    CrawlerFilePath::readValues(path, impl.patterns, impl.scratch);
    std::vector<CrawlerFilePath::ValueSpan> const& spans = impl.scratch.spans;
    // The records' strings keep their room from path to path.
    impl.records.resize(spans.size());
    for (std::size_t i = 0; i < spans.size(); ++i) {
        MetadataInfo& record = impl.records[i];
        record.patternPosition = spans[i].patternPosition;
        record.valuePosition = spans[i].valuePosition;
        record.valueLength = spans[i].valueLength;
        record.value.assign(path.substr(spans[i].valuePosition, spans[i].valueLength));
    }
    return impl.records;
}
