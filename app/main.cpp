// filecrawler ROOT --pattern TEXT[:numeric|:string] ...
// Crawls ROOT, forms cases from the metadata in the paths and prints the case
// table as CSV.
#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/FolderCrawler.h"
#include "filecrawler/MetadataFileCrawler.h"
#include "host/ExceptionBase.h"
#include "host/LocalFileInfo.h"

#include <vtkAbstractArray.h>
#include <vtkTable.h>
#include <vtkVariant.h>

#include <iostream>
#include <string>
#include <vector>

namespace {

class PrintingContext : public ImportLoadContextInterface {
public:
    void setCaseTable(vtkSmartPointer<vtkTable> table) override { table_ = table; }
    void setAuxFileCollection(boost::shared_ptr<AuxFileCollectionInterface> const&) override {}
    vtkTable* table() const { return table_; }

private:
    vtkSmartPointer<vtkTable> table_;
};

std::string csvField(std::string const& text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    std::string root = BRIM_SAMPLE_STUDY;
    std::vector<MetadataPattern> patterns;
    bool rootGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string const arg = argv[i];
        if (arg == "--pattern" && i + 1 < argc) {
            std::string text = argv[++i];
            MetadataPattern::ValueType type = MetadataPattern::Numeric;
            if (text.size() > 7 && text.compare(text.size() - 7, 7, ":string") == 0) {
                type = MetadataPattern::String;
                text.resize(text.size() - 7);
            } else if (text.size() > 8 && text.compare(text.size() - 8, 8, ":numeric") == 0) {
                text.resize(text.size() - 8);
            }
            patterns.emplace_back(text, type);
        } else if (!rootGiven && arg.rfind("--", 0) != 0) {
            root = arg;
            rootGiven = true;
        } else {
            std::cerr << "filecrawler: unknown option: " << arg << "\n";
            return 2;
        }
    }
    if (!rootGiven && patterns.empty()) {
        patterns = {MetadataPattern("Re=", MetadataPattern::Numeric),
                    MetadataPattern("Mach=", MetadataPattern::Numeric)};
    }

    FolderCrawler crawler(LocalFileInfo::create(root));
    crawler.start();
    crawler.wait();
    if (!crawler.result().errorString.isNull()) {
        std::cerr << "filecrawler: " << crawler.result().errorString.toStdString() << "\n";
        return 1;
    }

    try {
        MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
        importer.setCrawlResult(crawler.result());
        importer.setMetadataPatternList(patterns);
        PrintingContext context;
        importer.extract(context);
        vtkTable* const table = context.table();
        for (vtkIdType c = 0; c < table->GetNumberOfColumns(); ++c)
            std::cout << (c ? "," : "") << csvField(table->GetColumnName(c));
        std::cout << "\n";
        for (vtkIdType r = 0; r < table->GetNumberOfRows(); ++r) {
            for (vtkIdType c = 0; c < table->GetNumberOfColumns(); ++c)
                std::cout << (c ? "," : "") << csvField(table->GetValue(r, c).ToString());
            std::cout << "\n";
        }
    } catch (norvale::ExceptionBase const& error) {
        std::cerr << "filecrawler: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
