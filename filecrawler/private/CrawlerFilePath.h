#pragma once

#include "filecrawler/MetadataInfo.h"
#include "filecrawler/MetadataPattern.h"
#include "filecrawler/private/Config.h"
#include "host/AuxFileInfoInterface.h"

#include <boost/intrusive_ptr.hpp>
#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One crawled file, as the parser keeps it: the path relative to the crawled
// root, its host file type, and what the last matching against a metadata
// pattern list found in it. Internal to the library.
//
// Each entry is an object of its own (the parser makes it with
// boost::make_shared) that keeps nothing alive but itself and the pattern
// lists it was matched with. A study has millions of them, so an entry holds
// its path in place when it is short enough (one allocation per entry), and
// does not keep its records: it keeps the pattern list they were read with
// and reads them again from its path when asked (matching is a pure function
// of the path and the list, so the records are the same). The pattern lists
// are held in a State that the entries matched together share.
class CrawlerFilePath : public virtual AuxFileInfoInterface {
public:
    using PatternList = boost::shared_ptr<std::vector<MetadataPattern> const>;

    // Where one value was read: the positions of a MetadataInfo, without its text.
    struct ValueSpan {
        std::size_t patternPosition;
        std::size_t valuePosition;
        std::size_t valueLength;
    };
    // Working space of one matching, reused across entries.
    struct Scratch {
        std::vector<std::size_t> positions;
        std::vector<ValueSpan> spans;
        // The last path read in full whose last value ends at a separator, up
        // to and including it, and the list it was read with; null when there
        // is none. A path that begins with it has the same spans: the pattern
        // texts are found, and the values end, within it. It views the path
        // it was read from, which must outlive the next readValues().
        std::string_view readPrefix;
        std::vector<MetadataPattern> const* readWith = nullptr;
        // Whether the last readValues() took its spans from the path before.
        bool sameAsLast = false;
    };

    // The pattern lists an entry's records and values were read with. An
    // entry matched twice without clearing its records keeps them literally,
    // in a State of its own. A null state: no records, no values.
    class State;
    using StatePtr = boost::intrusive_ptr<State>;

    // The states one round of matching moves entries to, so that entries
    // that go from one state the same way share the next one.
    class Transitions {
    public:
        Transitions();
        ~Transitions();
        Transitions(Transitions const&) = delete;
        Transitions& operator=(Transitions const&) = delete;

    private:
        friend class CrawlerFilePath;
        struct Step;
        StatePtr next(StatePtr const& from, PatternList const& patterns, bool matched);
        std::vector<Step> steps_; // the latest last
    };

    // Stores the path and asks the host for its type (auxFileType), once.
    explicit CrawlerFilePath(std::string const& path);
    ~CrawlerFilePath() override;

    CrawlerFilePath(CrawlerFilePath const&) = delete;
    CrawlerFilePath& operator=(CrawlerFilePath const&) = delete;

    // The value texts of the last successful match, one per pattern; the key
    // of the entry's case.
    virtual std::vector<std::string> metadataSValueList() const;

    std::string filePath() const override;
    bool isIdentified() const override;
    void setCaseIndex(std::size_t caseIndex) override;
    std::size_t caseIndex() const override;
    std::string description() const override;
    Type type() const override;

    // Matches the path against the patterns, appending one record per pattern
    // read; true when every pattern matched. An empty list changes nothing.
    bool matchMetadataPatterns(std::vector<MetadataPattern> const& patterns);
    // The same with a list shared by many entries, taking the next state
    // from `transitions`. On return scratch.spans holds the records this
    // matching appended. REQUIRES: patterns is not null (also below).
    bool matchMetadataPatterns(PatternList const& patterns, Scratch& scratch, Transitions& transitions);
    void clearMetadataInfoList();
    void clearMetadataInfoList(Transitions& transitions);
    // clearMetadataInfoList() then matchMetadataPatterns(), in one step.
    bool rematchMetadataPatterns(PatternList const& patterns, Scratch& scratch, Transitions& transitions);
    // Marks the entry as belonging to no case.
    void clearIdentification();
    std::vector<MetadataInfo> metadataInfoList() const;

    std::string_view pathText() const
    {
        return shortLength_ != LONG_PATH ? std::string_view(path_.inPlace, shortLength_)
                                         : std::string_view(path_.outside.data, path_.outside.size);
    }

    // Reads the values of `patterns` from `path`: appends a span per pattern
    // until one is missing or has no value there; true when all were read.
    static bool readValues(std::string_view path, std::vector<MetadataPattern> const& patterns,
                           Scratch& scratch);
    // The record of the value `span` of `path` marks.
    static void setRecord(MetadataInfo& info, std::string_view path, ValueSpan const& span);

private:
    void becomeLiteral();
    void appendRecords(std::vector<MetadataInfo>& infos, std::vector<MetadataPattern> const& patterns) const;
    void appendRecords(std::vector<MetadataInfo>& infos, std::vector<ValueSpan> const& spans) const;

    // A path of up to config::inPlacePathBytes is kept in the entry itself,
    // shortLength_ holding its length; a longer one lies outside, and
    // shortLength_ is LONG_PATH.
    static constexpr std::uint8_t LONG_PATH = 0xff;
    static_assert(config::inPlacePathBytes < LONG_PATH, "a short length must not look like a long path");

    StatePtr state_;
    std::size_t caseIndex_;
    Type type_;
    std::uint16_t infoCount_; // number of records read with the state's record patterns
    bool identified_;
    std::uint8_t shortLength_; // the path's length when in place, else LONG_PATH
    union {
        char inPlace[config::inPlacePathBytes];
        struct {
            char* data;
            std::size_t size;
        } outside;
    } path_;
};

void intrusive_ptr_add_ref(CrawlerFilePath::State* state);
void intrusive_ptr_release(CrawlerFilePath::State* state);
