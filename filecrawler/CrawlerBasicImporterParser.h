#pragma once

#include "filecrawler/CrawlerImporterParserInterface.h"

#include <boost/shared_ptr.hpp>

#include <list>
#include <memory>
#include <string>

// Keeps one entry per distinct crawled path and, when a pattern list is
// applied, groups the paths that match it into cases: one case per distinct
// tuple of value texts, numbered in ascending byte order of the paths.
class CrawlerBasicImporterParser : public virtual CrawlerImporterParserInterface {
public:
    CrawlerBasicImporterParser();
    ~CrawlerBasicImporterParser() override;

    CrawlerBasicImporterParser(CrawlerBasicImporterParser const&) = delete;
    CrawlerBasicImporterParser& operator=(CrawlerBasicImporterParser const&) = delete;

    void appendRawFilePath(std::string const& path) override;
    void clearFilePaths() override;
    void applyMetadataPatternList(std::vector<MetadataPattern> const& patterns) override;
    std::vector<MetadataInfo> metadataInfoList(std::string const& path) const override;
    std::size_t numDefinedCases() const override;
    std::string caseMetadataSValue(std::size_t caseIndex, std::size_t metadataIndex) const override;
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> crawlerFilePathList() const override;

private:
    friend class MetadataFileCrawler;

    // Appends every path of `paths`, in order, as appendRawFilePath() does,
    // but refers to the strings instead of copying them: `owner` keeps them
    // alive and unchanged (the importer passes its stored crawl result).
    void appendRawFilePathList(std::list<std::string> const& paths, boost::shared_ptr<void const> owner);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};
