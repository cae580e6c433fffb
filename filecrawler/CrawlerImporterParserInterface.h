#pragma once

#include "filecrawler/Export.h"
#include "filecrawler/MetadataInfo.h"
#include "filecrawler/MetadataPattern.h"
#include "host/AuxFileInfoInterface.h"

#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <string>
#include <vector>

// The parser an importer owns: it keeps the crawled paths and groups the ones
// that match a metadata pattern list into cases. MetadataFileCrawler calls
// it from one thread at a time. Any operation may throw std::bad_alloc.
class BRIM_FILECRAWLER_EXPORT CrawlerImporterParserInterface {
public:
    CrawlerImporterParserInterface() = default;
    CrawlerImporterParserInterface(CrawlerImporterParserInterface const&) = default;
    CrawlerImporterParserInterface& operator=(CrawlerImporterParserInterface const&) = default;

    // Keeps an entry for `path` (relative to the crawled root, unchanged; the
    // same path again replaces its entry). Cases are untouched until the next
    // applyMetadataPatternList(). Throws what the host's auxFileType throws,
    // the parser then left as it was.
    virtual void appendRawFilePath(std::string const& path) = 0;
    // Forgets every path; the cases of the last application stay.
    virtual void clearFilePaths() = 0;
    // Forms the cases anew: every path is matched against `patterns`, and each
    // distinct tuple of values is a case, numbered in ascending path order.
    // An empty list leaves no case.
    virtual void applyMetadataPatternList(std::vector<MetadataPattern> const& patterns) = 0;
    // What the last application read from `path`; empty for a path not held.
    virtual std::vector<MetadataInfo> metadataInfoList(std::string const& path) const = 0;
    virtual std::size_t numDefinedCases() const = 0;
    // Value `metadataIndex` of case `caseIndex`; no range test is made.
    // REQUIRES: caseIndex < numDefinedCases(), metadataIndex < the size of
    // the pattern list last applied.
    virtual std::string caseMetadataSValue(std::size_t caseIndex, std::size_t metadataIndex) const = 0;
    // Every entry held, in ascending byte order of the paths; each pointer
    // shares the entry with the parser.
    virtual std::vector<boost::shared_ptr<AuxFileInfoInterface>> crawlerFilePathList() const = 0;
    virtual ~CrawlerImporterParserInterface();
};
