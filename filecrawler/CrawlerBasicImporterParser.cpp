#include "filecrawler/CrawlerBasicImporterParser.h"

#include "filecrawler/CrawlerFilePath.h"

#include <boost/make_shared.hpp>

#include <map>

struct CrawlerBasicImporterParser::Impl {
    using Entry = boost::shared_ptr<CrawlerFilePath>;

    std::map<std::string, Entry> files;                               // by path, byte order
    std::map<std::vector<std::string>, std::vector<Entry>> caseFiles; // by value tuple
    std::vector<std::vector<std::string>> cases;                      // tuple of each case index
};

CrawlerBasicImporterParser::CrawlerBasicImporterParser() : impl_(std::make_unique<Impl>()) {}

CrawlerBasicImporterParser::~CrawlerBasicImporterParser()
{
    impl_->cases.clear();
    impl_->caseFiles.clear();
    impl_->files.clear();
}

void CrawlerBasicImporterParser::appendRawFilePath(std::string const& path)
{
    // A path appended again gets a fresh entry, replacing the old one.
    impl_->files[path] = boost::make_shared<CrawlerFilePath>(path);
}

void CrawlerBasicImporterParser::clearFilePaths()
{
    impl_->files.clear();
}

void CrawlerBasicImporterParser::applyMetadataPatternList(std::vector<MetadataPattern> const& patterns)
{
    for (auto& file : impl_->files) {
        file.second->clearMetadataInfoList();
        // Without patterns no file belongs to a case, so none may claim one.
        if (patterns.empty())
            file.second->clearIdentification();
    }
    impl_->caseFiles.clear();
    impl_->cases.clear();
    if (patterns.empty())
        return;

    for (auto& file : impl_->files) {
        Impl::Entry const& entry = file.second;
        entry->matchMetadataPatterns(patterns);
        if (!entry->isIdentified())
            continue;
        std::vector<std::string> const& key = entry->metadataSValueList();
        auto found = impl_->caseFiles.find(key);
        if (found != impl_->caseFiles.end()) {
            found->second.push_back(entry);
            entry->setCaseIndex(found->second.front()->caseIndex());
        } else {
            impl_->caseFiles.emplace(key, std::vector<Impl::Entry>{entry});
            impl_->cases.push_back(key);
            entry->setCaseIndex(impl_->cases.size() - 1);
        }
    }
}

std::vector<MetadataInfo> CrawlerBasicImporterParser::metadataInfoList(std::string const& path) const
{
    auto const found = impl_->files.find(path);
    if (found == impl_->files.end())
        return {};
    return found->second->metadataInfoList();
}

std::size_t CrawlerBasicImporterParser::numDefinedCases() const
{
    return impl_->cases.size();
}

std::string CrawlerBasicImporterParser::caseMetadataSValue(std::size_t caseIndex,
                                                           std::size_t metadataIndex) const
{
    return impl_->cases[caseIndex][metadataIndex];
}

std::vector<boost::shared_ptr<AuxFileInfoInterface>> CrawlerBasicImporterParser::crawlerFilePathList() const
{
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> list;
    list.reserve(impl_->files.size());
    for (auto const& file : impl_->files)
        list.push_back(file.second);
    return list;
}
