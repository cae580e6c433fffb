#include "filecrawler/CrawlerFilePath.h"

#include "filecrawler/PathValueScanner.h"

#include <string_view>

CrawlerFilePath::CrawlerFilePath(std::string const& path)
    : path_(path), caseIndex_(0), type_(auxFileType(path_)), identified_(false)
{
}

CrawlerFilePath::~CrawlerFilePath() = default;

std::vector<std::string> const& CrawlerFilePath::metadataSValueList() const
{
    return metadataValueList_;
}

std::string CrawlerFilePath::filePath() const
{
    return path_;
}

bool CrawlerFilePath::isIdentified() const
{
    return identified_;
}

void CrawlerFilePath::setCaseIndex(std::size_t caseIndex)
{
    caseIndex_ = caseIndex;
}

std::size_t CrawlerFilePath::caseIndex() const
{
    return caseIndex_;
}

std::string CrawlerFilePath::description() const
{
    return std::string();
}

AuxFileInfoInterface::Type CrawlerFilePath::type() const
{
    return type_;
}

void CrawlerFilePath::clearMetadataInfoList()
{
    metadataInfoList_.clear();
}

void CrawlerFilePath::clearIdentification()
{
    identified_ = false;
}

std::vector<MetadataInfo> const& CrawlerFilePath::metadataInfoList() const
{
    return metadataInfoList_;
}

bool CrawlerFilePath::matchMetadataPatterns(std::vector<MetadataPattern> const& patterns)
{
    if (patterns.empty())
        return false;

    std::string_view const path(path_);
    std::vector<std::size_t> positions;
    bool matched = pathvalue::findPatternPositions(path, patterns, positions);

    // Each pattern's segment runs from its own text to the next pattern's text
    // (or the end of the path), so a value never runs into the next pattern.
    for (std::size_t i = 0; matched && i + 1 < positions.size(); ++i) {
        std::string_view const segment = path.substr(positions[i], positions[i + 1] - positions[i]);
        std::size_t const start = patterns[i].pattern.size();
        std::size_t end = 0;
        matched = patterns[i].valueType == MetadataPattern::Numeric
                      ? pathvalue::findNumericValueEnd(segment, start, end)
                      : pathvalue::findStringValueEnd(segment, start, end);
        if (!matched)
            break;
        MetadataInfo info;
        info.patternPosition = positions[i];
        info.valuePosition = positions[i] + start;
        info.valueLength = end - start;
        info.value.assign(path.substr(info.valuePosition, info.valueLength));
        metadataInfoList_.push_back(std::move(info));
    }

    identified_ = matched;
    if (matched) {
        metadataValueList_.clear();
        metadataValueList_.reserve(metadataInfoList_.size());
        for (MetadataInfo const& info : metadataInfoList_)
            metadataValueList_.push_back(info.value);
    }
    return matched;
}
