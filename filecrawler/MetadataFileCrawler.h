#pragma once

#include "filecrawler/CrawlerImporterParserInterface.h"
#include "filecrawler/Export.h"
#include "filecrawler/FolderCrawler.h"
#include "filecrawler/MetadataInfoProviderInterface.h"
#include "filecrawler/MetadataPattern.h"
#include "host/AuxFileCollectionInterface.h"
#include "host/AuxFileInfoInterface.h"
#include "host/FileInfoInterface.h"
#include "host/ImportLoadContextInterface.h"
#include "host/ImporterInterface.h"

#include <boost/shared_ptr.hpp>

#include <list>
#include <memory>
#include <string>
#include <vector>

// The importer the host drives. It checks and stores a crawl result, hands its
// paths to the parser, has the parser form cases from a metadata pattern
// list, and on extract() delivers the case table and the auxiliary files
// chosen for loading to the host's load context.
//
// Failures are thrown as norvale::ExceptionBase with a message naming the path.
class BRIM_FILECRAWLER_EXPORT MetadataFileCrawler : public virtual ImporterInterface,
                                                    public virtual MetadataInfoProviderInterface {
public:
    // REQUIRES: parser is not null.
    explicit MetadataFileCrawler(std::unique_ptr<CrawlerImporterParserInterface> parser);
    ~MetadataFileCrawler() override;

    MetadataFileCrawler(MetadataFileCrawler const&) = delete;
    MetadataFileCrawler& operator=(MetadataFileCrawler const&) = delete;

    // Checks that the crawled folder exists, is a directory and is readable,
    // then stores the result and adds its paths to the parser's.
    void setCrawlResult(FolderCrawler::Result const& result);
    // The same, taking the result over instead of copying it (see
    // FolderCrawler::takeResult()); it is left as it was if a check fails.
    void setCrawlResult(FolderCrawler::Result&& result);
    // Stores the patterns and (re)forms the cases from them.
    void setMetadataPatternList(std::vector<MetadataPattern> const& patterns);
    bool hasCases() const;
    // The parser's file entries that belong to a case, in ascending path order.
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> identifiedAuxFiles() const;
    void setAuxFilesToLoad(boost::shared_ptr<AuxFileCollectionInterface> auxFiles);
    boost::shared_ptr<FileInfoInterface const> folder() const;
    // The stored result's list: one object for the importer's life, which
    // shows the latest accepted result.
    std::list<std::string> const& files() const;

    std::vector<MetadataInfo> metadataInfoList(std::string const& path) const override;
    void extract(ImportLoadContextInterface& context) override;

private:
    struct BRIM_FILECRAWLER_NO_EXPORT Impl;
    std::unique_ptr<Impl> impl_;
};
