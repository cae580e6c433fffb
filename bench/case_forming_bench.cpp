// Forming cases: the parser taking a study's paths and applying the pattern
// list (next to the literal parser of maps), the importer doing the same from
// a crawl result, and building the case table from the cases.
#include "BenchMain.h"
#include "LiteralParser.h"
#include "StudyPaths.h"

#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/MetadataFileCrawler.h"
#include "host/LocalFileInfo.h"

#include <benchmark/benchmark.h>
#include <vtkTable.h>

#include <cstdio>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> const& paths(std::size_t count)
{
    static std::map<std::size_t, std::vector<std::string>> made;
    auto found = made.find(count);
    if (found == made.end())
        found = made.emplace(count, studypaths::study(count)).first;
    return found->second;
}

void BM_FormCases(benchmark::State& state)
{
    std::vector<std::string> const& list = paths(static_cast<std::size_t>(state.range(0)));
    std::vector<MetadataPattern> const patterns = studypaths::patterns();
    for (auto _ : state) {
        auto parser = std::make_unique<CrawlerBasicImporterParser>();
        for (std::string const& path : list)
            parser->appendRawFilePath(path);
        parser->applyMetadataPatternList(patterns);
        benchmark::DoNotOptimize(parser->numDefinedCases());
        state.PauseTiming(); // taking a million entries apart is not the point
        parser.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * list.size()));
}

void BM_FormCasesLiterally(benchmark::State& state)
{
    std::vector<std::string> const& list = paths(static_cast<std::size_t>(state.range(0)));
    std::vector<MetadataPattern> const patterns = studypaths::patterns();
    for (auto _ : state) {
        auto parser = std::make_unique<literal::Parser>();
        for (std::string const& path : list)
            parser->appendRawFilePath(path);
        parser->applyMetadataPatternList(patterns);
        benchmark::DoNotOptimize(parser->numDefinedCases());
        state.PauseTiming();
        parser.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * list.size()));
}

// What the importer does with a crawl result: copy it, hand the paths over,
// form the cases.
void BM_ImportCrawlResult(benchmark::State& state)
{
    std::vector<std::string> const& list = paths(static_cast<std::size_t>(state.range(0)));
    FolderCrawler::Result result;
    result.folder = LocalFileInfo::create("/");
    result.files.assign(list.begin(), list.end());
    std::vector<MetadataPattern> const patterns = studypaths::patterns();
    for (auto _ : state) {
        auto importer = std::make_unique<MetadataFileCrawler>(std::make_unique<CrawlerBasicImporterParser>());
        importer->setCrawlResult(result);
        importer->setMetadataPatternList(patterns);
        benchmark::DoNotOptimize(importer->hasCases());
        state.PauseTiming();
        importer.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * list.size()));
}

class TableContext : public ImportLoadContextInterface {
public:
    void setCaseTable(vtkSmartPointer<vtkTable> table) override { table_ = table; }
    void setAuxFileCollection(boost::shared_ptr<AuxFileCollectionInterface> const&) override {}
    vtkSmartPointer<vtkTable> table_;
};

// The case table of a study with 28 files per case.
void BM_BuildCaseTable(benchmark::State& state)
{
    std::size_t const cases = static_cast<std::size_t>(state.range(0));
    std::vector<std::string> const& list = paths(cases * 28);
    FolderCrawler::Result result;
    result.folder = LocalFileInfo::create("/");
    result.files.assign(list.begin(), list.end());
    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    importer.setCrawlResult(result);
    importer.setMetadataPatternList(studypaths::patterns());
    for (auto _ : state) {
        TableContext context;
        importer.extract(context);
        benchmark::DoNotOptimize(context.table_->GetNumberOfRows());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * cases));
}

BENCHMARK(BM_FormCases)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormCasesLiterally)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCrawlResult)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildCaseTable)->Arg(3500)->Arg(35000)->Unit(benchmark::kMillisecond);

} // namespace

BRIM_BENCHMARK_MAIN([] {})
