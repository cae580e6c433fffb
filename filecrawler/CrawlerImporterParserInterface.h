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
// that match a metadata pattern list into cases.
class BRIM_FILECRAWLER_EXPORT CrawlerImporterParserInterface {
public:
    CrawlerImporterParserInterface() = default;
    CrawlerImporterParserInterface(CrawlerImporterParserInterface const&) = default;
    CrawlerImporterParserInterface& operator=(CrawlerImporterParserInterface const&) = default;

    virtual void appendRawFilePath(std::string const& path) = 0;
    virtual void clearFilePaths() = 0;
    virtual void applyMetadataPatternList(std::vector<MetadataPattern> const& patterns) = 0;
    virtual std::vector<MetadataInfo> metadataInfoList(std::string const& path) const = 0;
    virtual std::size_t numDefinedCases() const = 0;
    virtual std::string caseMetadataSValue(std::size_t caseIndex, std::size_t metadataIndex) const = 0;
    virtual std::vector<boost::shared_ptr<AuxFileInfoInterface>> crawlerFilePathList() const = 0;
    virtual ~CrawlerImporterParserInterface();
};
