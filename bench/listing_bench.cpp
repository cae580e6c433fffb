// LocalFileInfo on the real file system: listing one folder, and a whole
// crawl through FolderCrawler. The tree is made in a temporary folder (a
// study of 20,000 files in 5 levels), or is the one named by
// BRIM_BENCH_TREE (for example a study made by bench/make-study-tree).
#include "BenchMain.h"

#include "filecrawler/FolderCrawler.h"
#include "host/LocalFileInfo.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void makeFiles(std::string const& folder, int count, char const* stem)
{
    mkdir(folder.c_str(), 0755);
    for (int i = 0; i < count; ++i) {
        std::string const path = folder + "/" + stem + std::to_string(i) + ".vtu";
        close(open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
}

bool madeTree = false;

// Made once: "wide/" with 1000 files, and "study/" with 20 x 20 x 5 case
// folders of 10 files each.
std::string const& tree()
{
    static std::string const root = [] {
        if (char const* given = std::getenv("BRIM_BENCH_TREE"))
            return std::string(given);
        char pattern[] = "/tmp/brim-listing-bench-XXXXXX";
        std::string const made = mkdtemp(pattern);
        madeTree = true;
        makeFiles(made + "/wide", 1000, "solution_");
        std::string const study = made + "/study";
        mkdir(study.c_str(), 0755);
        for (int re = 0; re < 20; ++re) {
            std::string const a = study + "/Re=" + std::to_string(100 * (re + 1));
            mkdir(a.c_str(), 0755);
            for (int mach = 0; mach < 20; ++mach) {
                std::string const b = a + "/Mach=0." + std::to_string(mach + 1);
                mkdir(b.c_str(), 0755);
                for (int alpha = 0; alpha < 5; ++alpha)
                    makeFiles(b + "/alpha=" + std::to_string(alpha - 2), 10, "solution_");
            }
        }
        return made;
    }();
    return root;
}

void BM_ListFolder(benchmark::State& state)
{
    std::string const folder = std::getenv("BRIM_BENCH_TREE") ? tree() : tree() + "/wide";
    auto const root = LocalFileInfo::create(folder);
    std::size_t entries = 0;
    for (auto _ : state) {
        auto const children = root->children(std::string());
        entries += children.size();
        for (auto const& child : children)
            benchmark::DoNotOptimize(child->isFile());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(entries));
}
BENCHMARK(BM_ListFolder)->Unit(benchmark::kMicrosecond);

void BM_Crawl(benchmark::State& state)
{
    std::string const root = tree();
    std::size_t files = 0;
    for (auto _ : state) {
        FolderCrawler crawler(LocalFileInfo::create(root));
        crawler.start();
        crawler.wait();
        files += crawler.result().files.size();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(files));
}
BENCHMARK(BM_Crawl)->Unit(benchmark::kMillisecond)->UseRealTime();

void removeTree()
{
    if (madeTree && std::system(("rm -rf '" + tree() + "'").c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", tree().c_str());
}

} // namespace

BRIM_BENCHMARK_MAIN(removeTree)
