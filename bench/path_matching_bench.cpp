// Reading the metadata values of one path: the library's matching (positions
// only) next to the literal one (a record with its own text per value), on
// the paths of a study laid out in folders and with values in file names.
#include "BenchMain.h"
#include "LiteralParser.h"
#include "StudyPaths.h"

#include "filecrawler/private/CrawlerFilePath.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> const& paths(bool flat)
{
    static std::vector<std::string> const nested = studypaths::study(100000, false);
    static std::vector<std::string> const inNames = studypaths::study(100000, true);
    return flat ? inNames : nested;
}

void BM_Match(benchmark::State& state)
{
    std::vector<std::string> const& list = paths(state.range(0) != 0);
    std::vector<MetadataPattern> const patterns = studypaths::patterns();
    CrawlerFilePath::Scratch scratch;
    for (auto _ : state) {
        std::size_t matched = 0;
        for (std::string const& path : list)
            matched += CrawlerFilePath::readValues(path, patterns, scratch);
        benchmark::DoNotOptimize(matched);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * list.size()));
}
BENCHMARK(BM_Match)->ArgName("flat")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_MatchLiterally(benchmark::State& state)
{
    std::vector<std::string> const& list = paths(state.range(0) != 0);
    std::vector<MetadataPattern> const patterns = studypaths::patterns();
    for (auto _ : state) {
        std::size_t matched = 0;
        for (std::string const& path : list) {
            literal::FilePath entry(path);
            matched += entry.matchMetadataPatterns(patterns);
        }
        benchmark::DoNotOptimize(matched);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * list.size()));
}
BENCHMARK(BM_MatchLiterally)->ArgName("flat")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BRIM_BENCHMARK_MAIN([] {})
