// The parts of the filecrawler program that decide something on their own:
// why a file is in no case, option values, column names, terminal text,
// which entries a crawl leaves out.
#include "ExcludeRules.h"
#include "Explanation.h"
#include "FakeFileTree.h"
#include "FilteredFileInfo.h"
#include "ImportReport.h"
#include "OutputWriters.h"
#include "ProgramOptions.h"
#include "TextUtil.h"

#include "filecrawler/CaseColumnNames.h"
#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/FolderCrawler.h"

#include <QBuffer>
#include <QString>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Patterns as --pattern values, separated by spaces.
std::vector<MetadataPattern> patterns(std::string const& values)
{
    std::vector<MetadataPattern> list;
    for (QString const& value : QString::fromStdString(values).split(' '))
        list.push_back(cli::parsePatternOption(value.toStdString()));
    return list;
}

// Matches `path` with the library; returns whether it is in a case, and its records.
bool matched(std::string const& path, std::vector<MetadataPattern> const& patterns,
             std::vector<MetadataInfo>& records)
{
    CrawlerBasicImporterParser parser;
    parser.appendRawFilePath(path);
    parser.applyMetadataPatternList(patterns);
    records = parser.metadataInfoList(path);
    return parser.crawlerFilePathList().front()->isIdentified();
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
        std::vector<MetadataInfo> records;
        std::vector<MetadataPattern> const list = patterns(c.patterns);
        ASSERT_FALSE(matched(c.path, list, records)) << c.path;
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

TEST(ExcludeRules, NamesAndPathsAreMatchedWithFnmatch)
{
    struct {
        std::string glob, path;
        bool directory, excluded;
    } const cases[] = {
        {".snapshot", "Re=1/.snapshot", true, true}, // a name glob, at any depth
        {".git", "Re=1/.gitignore", false, false},
        {"*.swp", "Re=1/.log.txt.swp", false, true}, // '*' matches a leading dot
        {"._*", "Re=1/._mesh.msh", false, true},
        {"*.swp", "Re=1/a.swp.bak", false, false},
        {"*~", "Re=1/log.txt~", false, true},
        {"Re=*", "Re=1", true, true},
        {"*", "Re=1/f", false, true},
        {"*~", "Re=1~/log.txt", false, false}, // only the entry's own name
        {"[!R]*", "Re=1", true, false},
        {"Re=1/scratch", "Re=1/scratch", true, true}, // with '/': the path below ROOT
        {"Re=1/scratch", "x/Re=1/scratch", true, false},
        {"*/scratch", "x/Re=1/scratch", true, false}, // '*' stops at '/'
        {"*/*/scratch", "x/Re=1/scratch", true, true},
        {"/scratch", "scratch", true, true}, // anchored to ROOT
        {"/scratch", "Re=1/scratch", true, false},
        {"build/", "Re=1/build", true, true}, // folders only
        {"build/", "Re=1/build", false, false},
        {"\\*", "*", false, true}, // '\' quotes
        {"\\*", "x", false, false},
    };
    for (auto const& c : cases) {
        cli::ExcludeRules rules;
        rules.add(c.glob);
        std::string const name = c.path.substr(c.path.rfind('/') + 1);
        EXPECT_EQ(rules.excludes(name, c.path, c.directory), c.excluded) << c.glob << " " << c.path;
        if (c.directory) {
            EXPECT_EQ(rules.excludesFolder(c.path), c.excluded) << c.glob << " " << c.path;
        }
    }
    for (char const* glob : {"", "/", "//"})
        EXPECT_THROW(cli::ExcludeRules().add(glob), cli::UsageError) << glob;
}

// The crawler over the wrapper: excluded folders are never listed; with
// keepGoing, folders that cannot be read (by their answer, or by a refused
// listing) are recorded and the walk goes on; other errors still stop it.
TEST(FilteredFileInfo, ExcludedFoldersAreNotListedAndUnreadableOnesAreSkipped)
{
    auto const snapshot = fakeDir(".snapshot", {fakeFile("f")});
    auto const locked = fakeDir("locked", {fakeFile("f")});
    locked->readable = false;
    auto const refused = fakeDir("refused", {fakeFile("f")});
    auto const broken = fakeDir("broken", {fakeFile("f")});
    broken->childrenError = "The specified path: /s/broken could not be opened: Too many open files.";
    auto const tree = [&](bool withBroken) {
        std::vector<FakeEntry::Ptr> entries = {fakeFile("a.swp"), fakeDir("Re=1", {fakeFile("f"), snapshot}),
                                               locked, refused, fakeFile("z")};
        if (withBroken)
            entries.insert(entries.begin() + 3, broken);
        auto const root = fakeDir("/s", entries);
        refused->childrenError = "The specified path: /s/refused is not readable.";
        return root;
    };
    struct {
        bool keepGoing, withBroken;
        std::vector<std::string> files, skipped;
        std::string error;
    } const cases[] = {
        {false, false, {"Re=1/f"}, {}, "The specified path: /s/locked is not readable."},
        {true, false, {"Re=1/f", "z"}, {"/s/locked", "/s/refused"}, ""},
        {true, true, {"Re=1/f"}, {"/s/locked"}, broken->childrenError},
    };
    for (auto const& c : cases) {
        cli::ExcludeRules excludes;
        excludes.add(".snapshot");
        excludes.add("*.swp");
        auto const filter = std::make_shared<cli::CrawlFilter>(excludes, c.keepGoing);
        FolderCrawler crawler(
            boost::make_shared<cli::FilteredFileInfo const>(tree(c.withBroken), filter, ""));
        crawler.run();
        EXPECT_THAT(std::vector<std::string>(crawler.result().files.begin(), crawler.result().files.end()),
                    ElementsAreArray(c.files));
        EXPECT_EQ(filter->skippedFolders(), c.skipped);
        EXPECT_EQ(crawler.result().errorString.toStdString(), c.error);
        EXPECT_EQ(snapshot->childrenCalls, 0);
    }
}

TEST(ProgramOptions, PatternTypeSuffixesAndAuxTagsAreSplitAsDocumented)
{
    // Only the last suffix is taken; another colon is part of the text.
    EXPECT_EQ(cli::parsePatternOption("x:numeric:string").pattern, "x:numeric");
    EXPECT_EQ(cli::parsePatternOption("x:numeric:string").valueType, MetadataPattern::String);
    EXPECT_EQ(cli::parsePatternOption("time:").pattern, "time:");
    EXPECT_EQ(cli::parsePatternOption("time:").valueType, MetadataPattern::Numeric);
    AuxFileIdentifier const data = cli::parseAuxOption("data=Re=*.dat");
    EXPECT_EQ(data.tag + " " + data.syntaxName, "data Re=*.dat");
    EXPECT_EQ(cli::formatFromExtension("out/cases.CSV"), cli::OutputFormat::Csv);
    EXPECT_EQ(cli::formatFromExtension("out.d/cases"), std::nullopt);
}

TEST(ReportText, ControlCharactersAreEscapedWidthsCountCharactersAndColumnsAreNumbered)
{
    std::string const replacement = "\xEF\xBF\xBD";
    struct {
        std::string text, shown;
    } const terminalTexts[] = {
        {std::string("a\nb\tc\x01\x7f\xc3\xa9", 9), "a\\nb\\tc\\x01\\x7F\xc3\xa9"},
        {"CSI\xc2\x9b"
         "2J \xc2\x80\xc2\x9f\xc2\xa0",
         "CSI\\u009B2J \\u0080\\u009F\xc2\xa0"},                                     // C1 controls
        {"caf\xe9 \xff", "caf" + replacement + " " + replacement},                   // Latin-1, not UTF-8
        {"\xc3", replacement},                                                       // cut short
        {"\xc0\xaf", replacement + replacement},                                     // overlong "/"
        {"\xed\xa0\x80", replacement + replacement + replacement},                   // a surrogate
        {"\xf4\x90\x80\x80", replacement + replacement + replacement + replacement}, // past U+10FFFF
        {"\xf0\x9f\x98\x80 \xe2\x82\xac", "\xf0\x9f\x98\x80 \xe2\x82\xac"},          // kept as they are
    };
    for (auto const& c : terminalTexts)
        EXPECT_EQ(cli::printable(c.text), c.shown) << c.text;
    EXPECT_EQ(cli::displayWidth("caf\xc3\xa9"), 4u);
    EXPECT_EQ(cli::lastColumns("/very/long/path", 8), ".../path");
    EXPECT_EQ(cli::lastColumns("/x/\xc3\xa9\xc3\xa9\xc3\xa9", 5), "...\xc3\xa9\xc3\xa9");
    EXPECT_EQ(cli::lastColumns("short", 8), "short");
    EXPECT_THAT(caseColumnNameList(patterns("A A(2) A")), ElementsAre("A", "A(2)", "A(3)"));
    EXPECT_THAT(caseColumnNameList(patterns("A A A(2)")), ElementsAre("A", "A(2)", "A(2)(2)"));
    EXPECT_THAT(caseColumnNameList(patterns("A A(2) A(2) A A")),
                ElementsAre("A", "A(2)", "A(2)(2)", "A(3)", "A(4)"));
    std::vector<MetadataPattern> const repeated(20000, MetadataPattern("x=", MetadataPattern::Numeric));
    std::vector<std::string> const names = caseColumnNameList(repeated);
    EXPECT_EQ(names[1] + " " + names.back(), "x=(2) x=(20000)");
    // A column name is C text, as the case table stores it.
    EXPECT_THAT(caseColumnNameList({MetadataPattern("a", MetadataPattern::String),
                                    MetadataPattern(std::string("a\0b", 3), MetadataPattern::String)}),
                ElementsAre("a", "a(2)"));
}

TEST(ReportText, AOneColumnRowWithAnEmptyValueIsNotAnEmptyLine)
{
    cli::ImportReport report;
    report.columns = {cli::ReportColumn{"v=", false}};
    report.texts = {{""}, {"x"}};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    cli::writeReport(report, cli::OutputFormat::Csv, buffer);
    EXPECT_EQ(buffer.data().toStdString(), "v=\n\"\"\nx\n");
}

} // namespace
