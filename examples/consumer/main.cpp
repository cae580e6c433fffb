// A minimal host: crawls a parameter study, forms cases from the Re= and Mach=
// values in the paths, files each case's meshes under the tag "mesh" and
// prints the case table.
#include "filecrawler/AuxFileIdentifierValidator.h"
#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/FolderCrawler.h"
#include "filecrawler/MetadataFileCrawler.h"
#include "host/ExceptionBase.h"
#include "host/LocalFileInfo.h"
#include "host/TagValidator.h"

#include <QCoreApplication>
#include <boost/make_shared.hpp>
#include <vtkTable.h>
#include <vtkVariant.h>

#include <iostream>
#include <memory>

namespace {

// Receives what the importer delivers.
class LoadContext : public ImportLoadContextInterface {
public:
    void setCaseTable(vtkSmartPointer<vtkTable> table) override { table_ = table; }
    void setAuxFileCollection(boost::shared_ptr<AuxFileCollectionInterface> const& files) override
    {
        files_ = files;
    }

    vtkSmartPointer<vtkTable> table_;
    boost::shared_ptr<AuxFileCollectionInterface> files_;
};

// The kinds of auxiliary files, in priority order.
class Identifiers : public AuxFileIdentifierValidator::IdentifierProviderInterface {
public:
    std::vector<AuxFileIdentifier> identifiers() const override { return {{"*.msh", "mesh"}}; }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: consumer STUDY_FOLDER\n";
        return 2;
    }

    // 1. Crawl on the crawler's thread (a real host shows progress from its
    //    processingDirectory signal meanwhile).
    FolderCrawler crawler(LocalFileInfo::create(argv[1]));
    crawler.start();
    crawler.wait();
    if (!crawler.result().errorString.isNull()) {
        std::cerr << crawler.result().errorString.toStdString() << "\n";
        return 1;
    }

    try {
        // 2. Form the cases from the metadata in the paths.
        MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
        importer.setCrawlResult(crawler.result());
        importer.setMetadataPatternList({MetadataPattern("Re=", MetadataPattern::Numeric),
                                         MetadataPattern("Mach=", MetadataPattern::Numeric)});

        // 3. Sort the files of the cases by kind.
        Identifiers const identifiers;
        AuxFileIdentifierValidator validator(identifiers, importer.identifiedAuxFiles(),
                                             boost::make_shared<TagValidator>());
        if (validator.isValid())
            importer.setAuxFilesToLoad(validator.auxFiles());

        // 4. Take delivery of the case table and the files.
        LoadContext context;
        importer.extract(context);
        vtkTable* const table = context.table_;
        std::cout << table->GetNumberOfRows() << " cases\n";
        for (vtkIdType row = 0; row < table->GetNumberOfRows(); ++row) {
            for (vtkIdType column = 0; column < table->GetNumberOfColumns(); ++column)
                std::cout << table->GetColumnName(column) << table->GetValue(row, column).ToString() << " ";
            if (context.files_ && std::size_t(row) < context.files_->caseCount())
                for (std::string const& mesh : context.files_->auxFilePaths(std::size_t(row), "mesh"))
                    std::cout << mesh;
            std::cout << "\n";
        }
    } catch (norvale::ExceptionBase const& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}
