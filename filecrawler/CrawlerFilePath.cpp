#include "filecrawler/CrawlerFilePath.h"

#include "filecrawler/PathValueScanner.h"

#include <boost/make_shared.hpp>

#include <cstdint>
#include <utility>

CrawlerFilePath::CrawlerFilePath(std::string const& path)
    : CrawlerFilePath(path, boost::make_shared<std::string const>(path))
{
    path_ = static_cast<std::string const*>(pathOwner_.get());
}

CrawlerFilePath::CrawlerFilePath(std::string const& path, boost::shared_ptr<void const> owner)
    : path_(&path), pathOwner_(std::move(owner)), caseIndex_(0), type_(auxFileType(path)), infoCount_(0),
      identified_(false)
{
}

CrawlerFilePath::~CrawlerFilePath() = default;

bool CrawlerFilePath::readValues(std::string_view path, std::vector<MetadataPattern> const& patterns,
                                 Scratch& scratch)
{
    scratch.spans.clear();
    std::vector<std::size_t>& positions = scratch.positions;
    if (!pathvalue::findPatternPositions(path, patterns, positions))
        return false;

    // Each pattern's segment runs from its own text to the next pattern's text
    // (or the end of the path), so a value never runs into the next pattern.
    for (std::size_t i = 0; i + 1 < positions.size(); ++i) {
        std::string_view const segment = path.substr(positions[i], positions[i + 1] - positions[i]);
        std::size_t const start = patterns[i].pattern.size();
        std::size_t end = 0;
        bool const found = patterns[i].valueType == MetadataPattern::Numeric
                               ? pathvalue::findNumericValueEnd(segment, start, end)
                               : pathvalue::findStringValueEnd(segment, start, end);
        if (!found)
            return false;
        scratch.spans.push_back(ValueSpan{positions[i], positions[i] + start, end - start});
    }
    return true;
}

std::vector<std::string> CrawlerFilePath::metadataSValueList() const
{
    if (literal_)
        return literal_->values;
    std::vector<std::string> values;
    if (!valuePatterns_)
        return values;
    Scratch scratch;
    std::string_view const path = pathText();
    readValues(path, *valuePatterns_, scratch);
    values.reserve(scratch.spans.size());
    for (ValueSpan const& span : scratch.spans)
        values.emplace_back(path.substr(span.valuePosition, span.valueLength));
    return values;
}

std::string CrawlerFilePath::filePath() const
{
    return std::string(pathText());
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
    if (literal_)
        literal_->infos.clear();
    infoPatterns_.reset();
    infoCount_ = 0;
}

void CrawlerFilePath::clearIdentification()
{
    identified_ = false;
}

void CrawlerFilePath::appendRecords(std::vector<MetadataInfo>& infos,
                                    std::vector<MetadataPattern> const& patterns) const
{
    Scratch scratch;
    readValues(pathText(), patterns, scratch);
    appendRecords(infos, scratch.spans);
}

void CrawlerFilePath::appendRecords(std::vector<MetadataInfo>& infos, std::vector<ValueSpan> const& spans) const
{
    std::string_view const path = pathText();
    for (ValueSpan const& span : spans) {
        MetadataInfo info;
        info.patternPosition = span.patternPosition;
        info.valuePosition = span.valuePosition;
        info.valueLength = span.valueLength;
        info.value.assign(path.substr(span.valuePosition, span.valueLength));
        infos.push_back(std::move(info));
    }
}

std::vector<MetadataInfo> CrawlerFilePath::metadataInfoList() const
{
    if (literal_)
        return literal_->infos;
    std::vector<MetadataInfo> infos;
    if (infoPatterns_ && infoCount_ != 0)
        appendRecords(infos, *infoPatterns_);
    return infos;
}

void CrawlerFilePath::becomeLiteral()
{
    auto literal = std::make_unique<Literal>();
    literal->infos = metadataInfoList();
    literal->values = metadataSValueList();
    literal_ = std::move(literal);
    infoPatterns_.reset();
    valuePatterns_.reset();
    infoCount_ = 0;
}

bool CrawlerFilePath::matchMetadataPatterns(std::vector<MetadataPattern> const& patterns)
{
    if (patterns.empty())
        return false;
    Scratch scratch;
    return matchMetadataPatterns(boost::make_shared<std::vector<MetadataPattern> const>(patterns), scratch);
}

bool CrawlerFilePath::matchMetadataPatterns(PatternList const& patterns, Scratch& scratch)
{
    scratch.spans.clear();
    if (patterns->empty())
        return false;

    // Records already held are kept and the new ones follow them; only the
    // literal form can hold two matchings' records, or more than fit a count.
    if (!literal_ && (infoCount_ != 0 || patterns->size() > UINT16_MAX))
        becomeLiteral();

    bool const matched = readValues(pathText(), *patterns, scratch);
    identified_ = matched;
    if (literal_) {
        appendRecords(literal_->infos, scratch.spans);
        if (matched) {
            literal_->values.clear();
            for (MetadataInfo const& info : literal_->infos)
                literal_->values.push_back(info.value);
        }
        return matched;
    }

    infoPatterns_ = patterns;
    infoCount_ = static_cast<std::uint16_t>(scratch.spans.size());
    if (matched)
        valuePatterns_ = patterns; // the values are those of the records just read
    return matched;
}
