#include "filecrawler/private/CrawlerFilePath.h"

#include "filecrawler/private/PathValueScanner.h"

#include <boost/make_shared.hpp>

#include <atomic>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

class CrawlerFilePath::State {
public:
    // Records kept as they are (see becomeLiteral()).
    struct Literal {
        std::vector<MetadataInfo> infos;
        std::vector<std::string> values;
    };

    State(PatternList records, PatternList values)
        : recordPatterns(std::move(records)), valuePatterns(std::move(values))
    {
    }

    std::atomic<std::size_t> references{0};
    PatternList const recordPatterns; // the records are those read with these; none if null
    PatternList const valuePatterns;  // the values are those read with these; none if null
    std::unique_ptr<Literal> literal; // instead, in a state of one entry's own
};

void intrusive_ptr_add_ref(CrawlerFilePath::State* state)
{
    state->references.fetch_add(1, std::memory_order_relaxed);
}

void intrusive_ptr_release(CrawlerFilePath::State* state)
{
    if (state->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete state;
}

// One way out of a state: matched with a pattern list (or cleared, without
// one), and where that led.
struct CrawlerFilePath::Transitions::Step {
    StatePtr from;
    PatternList patterns;
    bool matched;
    StatePtr to;
};

CrawlerFilePath::Transitions::Transitions() = default;

CrawlerFilePath::Transitions::~Transitions() = default;

CrawlerFilePath::StatePtr CrawlerFilePath::Transitions::next(StatePtr const& from,
                                                             PatternList const& patterns, bool matched)
{
    // A round of matching takes nearly all entries the same few ways.
    for (auto step = steps_.rbegin(); step != steps_.rend(); ++step)
        if (step->from == from && step->patterns == patterns && step->matched == matched)
            return step->to;
    if (steps_.size() == config::transitionsRemembered)
        steps_.erase(steps_.begin());
    // Matched: records and values read with `patterns`. Not matched: records
    // read with them, values as they were. Cleared: no records.
    StatePtr to(new State(patterns, matched ? patterns : from ? from->valuePatterns : nullptr));
    steps_.push_back(Step{from, patterns, matched, to});
    return to;
}

CrawlerFilePath::CrawlerFilePath(std::string const& path)
    : caseIndex_(0), type_(Unknown), infoCount_(0), identified_(false), shortLength_(LONG_PATH)
{
    if (path.size() <= config::inPlacePathBytes) {
        std::memcpy(path_.inPlace, path.data(), path.size());
        shortLength_ = static_cast<std::uint8_t>(path.size());
    } else {
        path_.outside.data = new char[path.size()];
        std::memcpy(path_.outside.data, path.data(), path.size());
        path_.outside.size = path.size();
    }
    try {
        type_ = auxFileType(path);
    } catch (...) {
        if (shortLength_ == LONG_PATH)
            delete[] path_.outside.data;
        throw;
    }
}

CrawlerFilePath::~CrawlerFilePath()
{
    if (shortLength_ == LONG_PATH)
        delete[] path_.outside.data;
}

bool CrawlerFilePath::readValues(std::string_view path, std::vector<MetadataPattern> const& patterns,
                                 Scratch& scratch)
{
    // Paths come sorted: the files of a folder follow each other, and share
    // the part of the path that holds the values.
    scratch.sameAsLast =
        scratch.readWith == &patterns && path.substr(0, scratch.readPrefix.size()) == scratch.readPrefix;
    if (scratch.sameAsLast)
        return true;
    scratch.readWith = nullptr;
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
    // Each pattern's text lies before its value, and a value that ends at a
    // separator ends there whatever follows it.
    if (!scratch.spans.empty()) {
        std::size_t const valuesEnd = scratch.spans.back().valuePosition + scratch.spans.back().valueLength;
        if (valuesEnd < path.size() && pathvalue::isSeparator(path[valuesEnd])) {
            scratch.readPrefix = path.substr(0, valuesEnd + 1);
            scratch.readWith = &patterns;
        }
    }
    return true;
}

std::vector<std::string> CrawlerFilePath::metadataSValueList() const
{
    if (!state_)
        return {};
    if (state_->literal)
        return state_->literal->values;
    std::vector<std::string> values;
    if (!state_->valuePatterns)
        return values;
    Scratch scratch;
    std::string_view const path = pathText();
    readValues(path, *state_->valuePatterns, scratch);
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
    Transitions transitions;
    clearMetadataInfoList(transitions);
}

void CrawlerFilePath::clearMetadataInfoList(Transitions& transitions)
{
    infoCount_ = 0;
    if (!state_)
        return;
    if (state_->literal)
        state_->literal->infos.clear();
    else if (state_->recordPatterns)
        state_ = transitions.next(state_, nullptr, false);
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

void CrawlerFilePath::appendRecords(std::vector<MetadataInfo>& infos,
                                    std::vector<ValueSpan> const& spans) const
{
    std::string_view const path = pathText();
    infos.reserve(infos.size() + spans.size());
    for (ValueSpan const& span : spans) {
        MetadataInfo info;
        setRecord(info, path, span);
        infos.push_back(std::move(info));
    }
}

void CrawlerFilePath::setRecord(MetadataInfo& info, std::string_view path, ValueSpan const& span)
{
    info.patternPosition = span.patternPosition;
    info.valuePosition = span.valuePosition;
    info.valueLength = span.valueLength;
    info.value.assign(path.substr(span.valuePosition, span.valueLength));
}

std::vector<MetadataInfo> CrawlerFilePath::metadataInfoList() const
{
    if (!state_)
        return {};
    if (state_->literal)
        return state_->literal->infos;
    std::vector<MetadataInfo> infos;
    if (state_->recordPatterns && infoCount_ != 0)
        appendRecords(infos, *state_->recordPatterns);
    return infos;
}

bool CrawlerFilePath::rematchMetadataPatterns(PatternList const& patterns, Scratch& scratch,
                                              Transitions& transitions)
{
    assert(patterns);
    if ((state_ && state_->literal) || patterns->empty() || patterns->size() > UINT16_MAX) {
        clearMetadataInfoList(transitions);
        return matchMetadataPatterns(patterns, scratch, transitions);
    }
    // Cleared, the records go; matched, they are read with `patterns` anew.
    infoCount_ = 0;
    return matchMetadataPatterns(patterns, scratch, transitions);
}

// Records already held are kept when an entry is matched again, and the new
// ones follow them: only a literal copy can hold two matchings' records.
void CrawlerFilePath::becomeLiteral()
{
    auto literal = std::make_unique<State::Literal>();
    literal->infos = metadataInfoList();
    literal->values = metadataSValueList();
    StatePtr own(new State(nullptr, nullptr));
    own->literal = std::move(literal);
    state_ = std::move(own);
    infoCount_ = 0;
}

bool CrawlerFilePath::matchMetadataPatterns(std::vector<MetadataPattern> const& patterns)
{
    if (patterns.empty())
        return false;
    Scratch scratch;
    Transitions transitions;
    return matchMetadataPatterns(boost::make_shared<std::vector<MetadataPattern> const>(patterns), scratch,
                                 transitions);
}

bool CrawlerFilePath::matchMetadataPatterns(PatternList const& patterns, Scratch& scratch,
                                            Transitions& transitions)
{
    assert(patterns);
    if (patterns->empty()) {
        scratch.spans.clear();
        scratch.readWith = nullptr;
        return false;
    }

    if (!(state_ && state_->literal) && (infoCount_ != 0 || patterns->size() > UINT16_MAX))
        becomeLiteral();

    bool const matched = readValues(pathText(), *patterns, scratch);
    identified_ = matched;
    if (State::Literal* const literal = state_ ? state_->literal.get() : nullptr) {
        appendRecords(literal->infos, scratch.spans);
        if (matched) {
            literal->values.clear();
            for (MetadataInfo const& info : literal->infos)
                literal->values.push_back(info.value);
        }
        return matched;
    }

    state_ = transitions.next(state_, patterns, matched);
    infoCount_ = static_cast<std::uint16_t>(scratch.spans.size());
    return matched;
}
