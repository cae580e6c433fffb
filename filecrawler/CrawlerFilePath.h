#pragma once

#include "filecrawler/MetadataInfo.h"
#include "filecrawler/MetadataPattern.h"
#include "host/AuxFileInfoInterface.h"

#include <cstddef>
#include <string>
#include <vector>

// One crawled file, as the parser keeps it: the path relative to the crawled
// root, its host file type, and what the last matching against a metadata
// pattern list found in it. Internal to the library.
class CrawlerFilePath : public virtual AuxFileInfoInterface {
public:
    explicit CrawlerFilePath(std::string const& path);
    ~CrawlerFilePath() override;

    // The value texts of the last successful match, one per pattern; the key
    // of the entry's case.
    virtual std::vector<std::string> const& metadataSValueList() const;

    std::string filePath() const override;
    bool isIdentified() const override;
    void setCaseIndex(std::size_t caseIndex) override;
    std::size_t caseIndex() const override;
    std::string description() const override;
    Type type() const override;

    // Matches the path against the patterns, appending one record per pattern
    // read; true when every pattern matched. An empty list changes nothing.
    bool matchMetadataPatterns(std::vector<MetadataPattern> const& patterns);
    void clearMetadataInfoList();
    // Marks the entry as belonging to no case.
    void clearIdentification();
    std::vector<MetadataInfo> const& metadataInfoList() const;

private:
    std::string path_;
    std::size_t caseIndex_;
    Type type_;
    std::vector<MetadataInfo> metadataInfoList_;
    std::vector<std::string> metadataValueList_;
    bool identified_;
};
