#include "filecrawler/MetadataPatternSearch.h"

#include "filecrawler/private/CrawlerFilePath.h"
#include "filecrawler/private/PathValueScanner.h"

#include <string>

bool findMetadataPatternPositions(std::string_view path, std::vector<MetadataPattern> const& patterns,
                                  std::vector<std::size_t>& positions)
{
    return pathvalue::findPatternPositions(path, patterns, positions);
}

struct MetadataInfoReader::Impl {
    std::vector<MetadataPattern> patterns;
    CrawlerFilePath::Scratch scratch;
    std::string prefix; // what scratch.readPrefix views: the caller's path may be gone by the next read
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
    // A path that begins as the last one read did, through the separator
    // after its values, has its records: the parser's own reuse.
    CrawlerFilePath::readValues(path, impl.patterns, impl.scratch);
    if (impl.scratch.sameAsLast)
        return impl.records;
    if (impl.scratch.readWith) {
        impl.prefix.assign(impl.scratch.readPrefix);
        impl.scratch.readPrefix = impl.prefix;
    }
    std::vector<CrawlerFilePath::ValueSpan> const& spans = impl.scratch.spans;
    // The records' strings keep their room from path to path.
    impl.records.resize(spans.size());
    for (std::size_t i = 0; i < spans.size(); ++i)
        CrawlerFilePath::setRecord(impl.records[i], path, spans[i]);
    return impl.records;
}
