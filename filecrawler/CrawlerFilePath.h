#pragma once

#include "filecrawler/MetadataInfo.h"
#include "filecrawler/MetadataPattern.h"
#include "host/AuxFileInfoInterface.h"

#include <boost/intrusive_ptr.hpp>
#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One crawled file, as the parser keeps it: the path relative to the crawled
// root, its host file type, and what the last matching against a metadata
// pattern list found in it. Internal to the library.
//
// A study has millions of these, so an entry does not keep its records: it
// keeps the pattern list they were read with and reads them again from its
// path when asked (matching is a pure function of the path and the list, so
// the records are the same), and it refers to its path, kept by an owner,
// rather than copying it. The owner and the pattern lists are held in a
// State that the entries matched together share.
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
    };

    // What entries share: the owner of their paths, and the pattern lists
    // their records and values were read with. An entry matched twice
    // without clearing its records keeps them literally, in a State of its own.
    class State;
    using StatePtr = boost::intrusive_ptr<State>;
    // The state of new entries whose paths `owner` keeps alive and unchanged.
    static StatePtr initialState(boost::shared_ptr<void const> owner);

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

    explicit CrawlerFilePath(std::string const& path);
    // Refers to `path` instead of copying it: `initial`'s owner keeps it
    // (the parser passes the importer's stored crawl result).
    CrawlerFilePath(std::string const& path, StatePtr initial);
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
    // The same with a list shared by many entries (it must not be null),
    // taking the next state from `transitions`. On return scratch.spans holds
    // the records this matching appended.
    bool matchMetadataPatterns(PatternList const& patterns, Scratch& scratch, Transitions& transitions);
    void clearMetadataInfoList();
    void clearMetadataInfoList(Transitions& transitions);
    // clearMetadataInfoList() then matchMetadataPatterns(), in one step.
    bool rematchMetadataPatterns(PatternList const& patterns, Scratch& scratch, Transitions& transitions);
    // Whether rematchMetadataPatterns() can be done in two steps: the values
    // read with readValues(), on any thread, then settleRematch().
    bool rematchesInSteps(PatternList const& patterns) const;
    // The rest of rematchMetadataPatterns(), once readValues() has given
    // `matched` and `recordCount` spans.
    void settleRematch(PatternList const& patterns, bool matched, std::size_t recordCount,
                       Transitions& transitions);
    // Marks the entry as belonging to no case.
    void clearIdentification();
    std::vector<MetadataInfo> metadataInfoList() const;

    std::string const& pathText() const { return *path_; }

    // Reads the values of `patterns` from `path`: appends a span per pattern
    // until one is missing or has no value there; true when all were read.
    static bool readValues(std::string_view path, std::vector<MetadataPattern> const& patterns,
                           Scratch& scratch);

private:
    void becomeLiteral();
    void appendRecords(std::vector<MetadataInfo>& infos, std::vector<MetadataPattern> const& patterns) const;
    void appendRecords(std::vector<MetadataInfo>& infos, std::vector<ValueSpan> const& spans) const;

    std::string const* path_;
    StatePtr state_; // never null
    std::size_t caseIndex_;
    Type type_;
    std::uint16_t infoCount_; // number of records read with the state's record patterns
    bool identified_;
};

void intrusive_ptr_add_ref(CrawlerFilePath::State* state);
void intrusive_ptr_release(CrawlerFilePath::State* state);
