#pragma once

#include "filecrawler/MetadataInfo.h"
#include "filecrawler/MetadataPattern.h"
#include "host/AuxFileInfoInterface.h"

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
// keeps the pattern list they were read with (shared by all entries the
// parser matched) and reads them again from its path when asked. Matching is
// a pure function of the path and the list, so the records are the same.
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

    explicit CrawlerFilePath(std::string const& path);
    // Refers to `path` instead of copying it: `owner` keeps it alive and
    // unchanged (the parser passes the importer's stored crawl result).
    CrawlerFilePath(std::string const& path, boost::shared_ptr<void const> owner);
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
    // The same with a list shared by many entries (it must not be null). On
    // return scratch.spans holds the records this matching appended.
    bool matchMetadataPatterns(PatternList const& patterns, Scratch& scratch);
    void clearMetadataInfoList();
    // Marks the entry as belonging to no case.
    void clearIdentification();
    std::vector<MetadataInfo> metadataInfoList() const;

    std::string const& pathText() const { return *path_; }

    // Reads the values of `patterns` from `path`: appends a span per pattern
    // until one is missing or has no value there; true when all were read.
    static bool readValues(std::string_view path, std::vector<MetadataPattern> const& patterns, Scratch& scratch);

private:
    // Records kept as they are, once an entry was matched again without
    // clearing its records first (the parser never does that).
    struct Literal {
        std::vector<MetadataInfo> infos;
        std::vector<std::string> values;
    };

    void becomeLiteral();
    void appendRecords(std::vector<MetadataInfo>& infos, std::vector<MetadataPattern> const& patterns) const;
    void appendRecords(std::vector<MetadataInfo>& infos, std::vector<ValueSpan> const& spans) const;

    std::string const* path_;
    boost::shared_ptr<void const> pathOwner_; // keeps *path_
    std::size_t caseIndex_;
    PatternList infoPatterns_;  // the records are those read with these; none if null
    PatternList valuePatterns_; // the values are those read with these; none if null
    std::unique_ptr<Literal> literal_;
    Type type_;
    std::uint16_t infoCount_; // number of records read with infoPatterns_ (longer lists: literal_)
    bool identified_;
};
