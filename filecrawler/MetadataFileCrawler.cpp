#include "filecrawler/MetadataFileCrawler.h"

#include "filecrawler/private/CaseMetadataTable.h"
#include "host/ExceptionBase.h"

#include <boost/make_shared.hpp>
#include <vtkSmartPointer.h>
#include <vtkTable.h>

#include <algorithm>
#include <cassert>
#include <utility>

struct MetadataFileCrawler::Impl {
    boost::shared_ptr<CrawlerImporterParserInterface> parser;
    std::vector<MetadataPattern> metadataPatternList;
    boost::shared_ptr<AuxFileCollectionInterface> auxFilesToLoad;
    // The last accepted crawl result. It stays one object for the importer's
    // life: files() hands out a reference to its list.
    FolderCrawler::Result crawlResult;

    // Hands the stored result's paths to the parser.
    void handOverPaths();
};

namespace {

void checkCrawledFolder(boost::shared_ptr<FileInfoInterface const> const& crawled)
{
    boost::shared_ptr<FileInfoInterface const> const shared = crawled;
    if (!shared)
        throw norvale::ExceptionBase("Folder name not specified.", false);
    FileInfoInterface const& folder = *shared;
    if (!folder.exists())
        throw norvale::ExceptionBase("The specified folder: " + folder.path() + " does not exist.", false);
    if (!folder.isDirectory())
        throw norvale::ExceptionBase("The specified path: " + folder.path() + " must be a directory.", false);
    if (!folder.isReadable())
        throw norvale::ExceptionBase(FolderCrawler::pathIsNotReadableErrorString(folder.path()), false);
}

} // namespace

MetadataFileCrawler::MetadataFileCrawler(std::unique_ptr<CrawlerImporterParserInterface> parser)
    : impl_(std::make_unique<Impl>())
{
    assert(parser);
    impl_->parser.reset(parser.release());
}

MetadataFileCrawler::~MetadataFileCrawler() = default;

void MetadataFileCrawler::setCrawlResult(FolderCrawler::Result const& result)
{
    checkCrawledFolder(result.folder);
    // Copied aside first, so that a failing copy leaves the stored result as
    // it was; swapped in, so that the stored list stays the same object.
    std::list<std::string> files(result.files);
    impl_->crawlResult.files.swap(files);
    impl_->crawlResult.folder = result.folder;
    impl_->crawlResult.errorString = result.errorString;
    impl_->handOverPaths();
}

void MetadataFileCrawler::setCrawlResult(FolderCrawler::Result&& result)
{
    checkCrawledFolder(result.folder);
    impl_->crawlResult.files = std::move(result.files);
    impl_->crawlResult.folder = std::move(result.folder);
    impl_->crawlResult.errorString = std::move(result.errorString);
    impl_->handOverPaths();
}

void MetadataFileCrawler::Impl::handOverPaths()
{
    for (std::string const& path : crawlResult.files)
        parser->appendRawFilePath(path);
}

void MetadataFileCrawler::setMetadataPatternList(std::vector<MetadataPattern> const& patterns)
{
    impl_->metadataPatternList = patterns;
    impl_->parser->applyMetadataPatternList(patterns);
}

bool MetadataFileCrawler::hasCases() const
{
    return impl_->parser->numDefinedCases() != 0;
}

std::vector<boost::shared_ptr<AuxFileInfoInterface>> MetadataFileCrawler::identifiedAuxFiles() const
{
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> files = impl_->parser->crawlerFilePathList();
    files.erase(std::remove_if(files.begin(), files.end(),
                               [](boost::shared_ptr<AuxFileInfoInterface> const& file) {
                                   return !file->isIdentified();
                               }),
                files.end());
    return files;
}

void MetadataFileCrawler::setAuxFilesToLoad(boost::shared_ptr<AuxFileCollectionInterface> auxFiles)
{
    impl_->auxFilesToLoad = std::move(auxFiles);
}

boost::shared_ptr<FileInfoInterface const> MetadataFileCrawler::folder() const
{
    return impl_->crawlResult.folder;
}

std::list<std::string> const& MetadataFileCrawler::files() const
{
    return impl_->crawlResult.files;
}

std::vector<MetadataInfo> MetadataFileCrawler::metadataInfoList(std::string const& path) const
{
    return impl_->parser->metadataInfoList(path);
}

void MetadataFileCrawler::extract(ImportLoadContextInterface& context)
{
    if (!impl_->crawlResult.folder)
        throw norvale::ExceptionBase("Folder name not specified.", false);

    auto const table = vtkSmartPointer<vtkTable>::New();
    if (impl_->parser->numDefinedCases() != 0) {
        casetable::addColumns(*impl_->parser, impl_->metadataPatternList, table);
        casetable::addRows(*impl_->parser, impl_->metadataPatternList, table);
    }
    context.setCaseTable(table);
    context.setAuxFileCollection(impl_->auxFilesToLoad);
}
