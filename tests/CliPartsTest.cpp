// The parts of the filecrawler program that decide something on their own:
// why a file is in no case, option values, column names, terminal text.
#include "Explanation.h"
#include "ImportReport.h"
#include "OutputWriters.h"
#include "ProgramOptions.h"
#include "TextUtil.h"

#include "filecrawler/CrawlerBasicImporterParser.h"

#include <QBuffer>
#include <QString>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;

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
    EXPECT_THAT(cli::columnNames(patterns("A A(2) A")), ElementsAre("A", "A(2)", "A(3)"));
    EXPECT_THAT(cli::columnNames(patterns("A A A(2)")), ElementsAre("A", "A(2)", "A(2)(2)"));
}

TEST(ReportText, AOneColumnRowWithAnEmptyValueIsNotAnEmptyLine)
{
    cli::ImportReport report;
    report.columns = {cli::ReportColumn{"v=", false}};
    report.values = {{""}, {"x"}};
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    cli::writeReport(report, cli::OutputFormat::Csv, buffer);
    EXPECT_EQ(buffer.data().toStdString(), "v=\n\"\"\nx\n");
}

} // namespace
