// Why a file is in no case, and the pattern texts found in ROOT itself.
#include "Explanation.h"
#include "ProgramOptions.h"

#include "filecrawler/CrawlerBasicImporterParser.h"

#include <QString>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

// Patterns as --pattern values, separated by spaces.
std::vector<MetadataPattern> patterns(std::string const& values)
{
    std::vector<MetadataPattern> list;
    for (QString const& value : QString::fromStdString(values).split(' '))
        list.push_back(cli::parsePatternOption(value.toStdString()));
    return list;
}

TEST(UnmatchedReason, NamesThePatternAndHowItFailed)
{
    struct {
        std::string path, patterns;
        std::string description;
    } const cases[] = {
        {"notes/readme.txt", "Re=", "no \"Re=\" in the path"},
        {"Re=100/summary.csv", "Re= Mach=", "no \"Mach=\" after \"Re=\""},
        {"b=1/a=2/f", "a= b=", "no \"b=\" after \"a=\""},       // b= is searched only after a=
        {"Re=XX/f", "Re= Mach=", "no \"Mach=\" after \"Re=\""}, // then no value is read at all
        {"Re=XX/Mach=1/f", "Re= Mach=", "\"Re=\" is not followed by a number"},
        {"Re=1/Mach=/f", "Re= Mach=", "\"Mach=\" is not followed by a number"},
        {"a=b=1", "a= b=", "\"a=\" is not followed by a number"},
        {"Re=1/Mach=.", "Re= Mach=", "\"Mach=\" is not followed by a number"},
        {"runs/T=5.dat", "T=:string",
         "\"T=\" is followed by fewer than two characters before the end of the file name (extensions "
         "removed)"},
        {"runs/model=.hidden", "model=:string", "\"model=\" is followed by fewer than two characters"},
        {"Re=5/f", "Re= e=", "\"e=\" begins inside \"Re=\", leaving no room for \"Re=\"'s value"},
        {"x=ab/y", "x=:string =ab:string", "\"=ab\" begins inside \"x=\""},
    };
    for (auto const& c : cases) {
        // The library's records of the path, as the program reads them.
        std::vector<MetadataPattern> const list = patterns(c.patterns);
        CrawlerBasicImporterParser parser;
        parser.appendRawFilePath(c.path);
        parser.applyMetadataPatternList(list);
        ASSERT_FALSE(parser.crawlerFilePathList().front()->isIdentified()) << c.path;
        std::vector<MetadataInfo> const records = parser.metadataInfoList(c.path);
        EXPECT_THAT(cli::describe(cli::unmatchedReason(c.path, list, records), list),
                    testing::StartsWith(c.description))
            << c.path;
    }
}

TEST(UnmatchedReason, PatternTextsInRootsOwnPathAreFoundAndTheFolderAboveIsSuggested)
{
    struct {
        std::string root, patterns;
        std::vector<std::size_t> found;
        std::string folder;
    } const cases[] = {
        {"/data/study/Re=1000", "Re= Mach=", {0}, "/data/study"},
        {"/data/Re=1/Mach=2/run", "Re= Mach=", {0, 1}, "/data"},
        {"/data/x/Mach=2", "Re= Mach=", {1}, "/data/x"},
        {"/Re=1", "Re=", {0}, "/"},
        {"/data/run/Re=1", "run/Re=", {0}, "/data"}, // a text holding separators
        {"/data/study", "Re=", {}, ""},
    };
    for (auto const& c : cases) {
        std::vector<MetadataPattern> const list = patterns(c.patterns);
        EXPECT_EQ(cli::patternsInRoot(c.root, list), c.found) << c.root;
        EXPECT_EQ(cli::folderToCrawl(c.root, list), c.folder) << c.root;
    }
}

} // namespace
