// The program's warnings about values that the reading rules most likely got
// wrong, found on small studies in memory as the program finds them.
#include "ValueWarnings.h"
#include "FakeFileTree.h"
#include "ImportReport.h"
#include "ProgramLoadContext.h"
#include "ProgramOptions.h"
#include "Survey.h"

#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/MetadataFileCrawler.h"

#include <QString>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using cli::ValueWarning;

std::vector<MetadataPattern> patterns(std::string const& values)
{
    std::vector<MetadataPattern> list;
    for (QString const& value : QString::fromStdString(values).split(' '))
        list.push_back(cli::parsePatternOption(value.toStdString()));
    return list;
}

// The importer of `paths`; its parser in `cases` when given.
std::unique_ptr<MetadataFileCrawler> importerOf(std::list<std::string> paths,
                                                std::vector<MetadataPattern> const& list,
                                                CrawlerImporterParserInterface const** cases = nullptr)
{
    auto parser = std::make_unique<CrawlerBasicImporterParser>();
    if (cases)
        *cases = parser.get();
    auto importer = std::make_unique<MetadataFileCrawler>(std::move(parser));
    FolderCrawler::Result result;
    result.folder = fakeDir("/study");
    result.files = std::move(paths);
    importer->setCrawlResult(std::move(result));
    importer->setMetadataPatternList(list);
    return importer;
}

// By ValueWarning::Kind.
char const* const KIND_NAMES[] = {"number+text",     "text cut",   "longer key",
                                  "inside previous", "look alike", "out of range"};

// Each warning as "kind, pattern text, paths, example | fix", as the program finds them.
std::vector<std::string> warningsFor(std::list<std::string> paths, std::string const& patternValues)
{
    std::vector<MetadataPattern> const list = patterns(patternValues);
    CrawlerImporterParserInterface const* cases = nullptr;
    std::unique_ptr<MetadataFileCrawler> const importer = importerOf(std::move(paths), list, &cases);
    cli::ProgramLoadContext context;
    importer->extract(context);
    cli::ValueWarnings warnings(list);
    cli::survey(importer->files(), list, warnings, nullptr);
    cli::setCasesAfterSurvey(warnings, cli::buildReport(context, *cases, list, {}, false).texts,
                             importer->files(), list);
    std::vector<std::string> found;
    for (ValueWarning const& warning : warnings.warnings()) {
        std::string const& message = warning.message;
        std::size_t const fix = message.rfind(". ");
        found.push_back(std::string(KIND_NAMES[warning.kind]) + ", " + list[warning.pattern].pattern + ", " +
                        std::to_string(warning.paths) + ", " + warning.example + " |" +
                        (fix == std::string::npos ? message : message.substr(fix + 1)));
    }
    return found;
}

TEST(ValueWarnings, NameThePatternTheCountAnExampleAndTheFix)
{
    struct {
        std::list<std::string> paths;
        std::string patterns;
        std::vector<std::string> expected; // each the beginning of a warning
    } const cases[] = {
        // clang-format off
        // A number with more glued to it: digits, or letters that vary.
        {{"grid=128x64/f.dat", "grid=128x128/f.dat", "grid=256/f.dat"}, "grid=",
         {"number+text, grid=, 2, grid=128x64/f.dat | If the text belongs to the value, give -p grid=:string."}},
        {{"Re=100/a", "Re=100k/a", "Re=2/b"}, "Re=", {"number+text, Re=, 1, Re=100k/a |"}},
        {{"v=1.2.3.dat", "v=1.2.4.dat"}, "v=", {"number+text, v=, 2, v=1.2.3.dat |"}},
        {{"T=300K/a.dat", "T=400K/a.dat"}, "T=", {}}, // a unit
        {{"T=300.dat", "T=5.0e2.vtu", "T=7"}, "T=", {}},  // extensions
        {{"T=300K/a.dat", "T=300.dat"}, "T=", {"number+text, T=, 1, T=300K/a.dat |"}},
        {{"Re=100_Mach=0.5_x.dat", "Re=200-Mach=0.5.dat", "Re=1Mach=2/a"}, "Re= Mach=", {}},
        // A text value cut at a dot inside a number or version only.
        {{"ver=v1.2.dat", "ver=v1.3.dat"}, "ver=:string",
         {"text cut, ver=, 2, ver=v1.2.dat | A text value keeps its dots when a separator follows it: put the "
          "value in a folder name (ver=v1.2/...)."}},
        {{"model=kEpsilon/mesh.msh", "model=kEps.0001.vtu", "model=a.tar.gz", "ver=v1.2/x.dat"},
         "model=:string", {}},
        // The text read at the end of a longer key; a text always inside the previous one.
        {{"dT=5_T=300.dat", "dT=5_T=400.dat", "T=1/dT=2"}, "T=",
         {"longer key, T=, 2, dT=5_T=300.dat | To read the key \"T=\" itself, give it with the character before "
          "it, -p _T=."}},
        {{"x/mT=1/T=2", "kT=3/f"}, "T=:string", {"longer key, T=, 2, x/mT=1/T=2 | To read the key \"T=\" itself, give it with the character before it, -p /T=:string."}},
        {{"Re=1/f", "Re=2/f", "Mach=1/f"}, "Re= e=",
         {"inside previous, e=, 2, Re=1/f | Give a longer text for \"e=\" that \"Re=\" does not hold"}},
        // Cases that only look alike once numbers are numbers (a D exponent too), or numbers out of range.
        {{"seed=007/a", "seed=007/b", "seed=7/a", "seed=8/a"}, "seed=",
         {"look alike, seed=, 3, seed=007/a | The cases are kept apart by their texts (CSV, the table, JSON "
          "texts); to show the texts there too, give -p seed=:string, or write the numbers alike."}},
        {{"Re=1.0D+03/a", "Re=1000/a", "Re=2.0d3/a", "Re=2e3/b", "Re=3/a"}, "Re=",
         {"look alike, Re=, 4, Re=1.0D+03/a |"}},
        {{"seed=007/Re=1/a", "seed=7/Re=2/a"}, "seed= Re=", {}},
        {{"seed=1.0/m=a/x", "seed=1/m=a/x", "seed=1/m=b/x"}, "seed= m=:string",
         {"look alike, seed=, 2, seed=1.0/m=a/x |"}},
        {{"Re=1.0D+03/a", "Re=-1e999/a", "Re=1e999/a", "Re=1e999/b", "Re=5/a"}, "Re=",
         {"out of range, Re=, 3, Re=-1e999/a | To keep it as text, give -p Re=:string."}},
        // Studies as they come: nothing to say.
        {{"study/Re=100/Mach=0.3/model=kEpsilon/images/cp.png", "study/Re=100/Mach=0.3/model=kEpsilon/log.txt",
          "study/Re=100/summary.csv", "study/Re=200/Mach=0.5/model=kOmega/solution_0001.vtu", "README.md"},
         "Re= Mach= model=:string", {}},
        {{"solutions/solution_0001_Re=100_Mach=0.05_alpha=-4_model=kEpsilon.vtu",
          "logs/log_Re=100_Mach=0.05_alpha=-4_model=kEpsilon.txt",
          "solutions/solution_0002_Re=1e5_Mach=.5_alpha=+4_model=SpalartAllmaras.vtu",
          "summary0_Re=100_Mach=0.05.csv"},
         "Re= Mach= alpha= model=:string", {}},
        // clang-format on
    };
    for (auto const& c : cases) {
        SCOPED_TRACE(c.patterns + " on " + c.paths.front());
        std::vector<std::string> const found = warningsFor(c.paths, c.patterns);
        ASSERT_EQ(found.size(), c.expected.size()) << testing::PrintToString(found);
        for (std::size_t i = 0; i < found.size(); ++i)
            EXPECT_THAT(found[i], testing::StartsWith(c.expected[i]));
    }
}

} // namespace
