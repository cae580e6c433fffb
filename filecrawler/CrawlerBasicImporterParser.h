#pragma once

#include "filecrawler/CrawlerImporterParserInterface.h"
#include "filecrawler/Export.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <string>

// Keeps one entry per distinct crawled path and, when a pattern list is
// applied, groups the paths that match it into cases: one case per distinct
// tuple of value texts, numbered in ascending byte order of the paths.
//
// appendRawFilePath() makes the path's entry at once (the host's auxFileType
// is asked then, once per appended path); if that throws, the parser is left
// as it was. Each entry is an object of its own, made by boost::make_shared:
// an entry handed out keeps only itself alive. No call starts a thread.
class BRIM_FILECRAWLER_EXPORT CrawlerBasicImporterParser : public virtual CrawlerImporterParserInterface {
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
    struct BRIM_FILECRAWLER_NO_EXPORT Impl;
    std::unique_ptr<Impl> impl_;
};
