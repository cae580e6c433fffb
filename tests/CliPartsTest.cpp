// The parts of the filecrawler program that decide something on their own:
// why a file is in no case, option values, column names, terminal text.
#include "Explanation.h"
#include "ImportReport.h"
#include "ProgramOptions.h"
#include "TextUtil.h"

#include "filecrawler/CrawlerBasicImporterParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cli::UnmatchedReason;
using ::testing::ElementsAre;

MetadataPattern numeric(std::string const& text)
{
    return MetadataPattern(text, MetadataPattern::Numeric);
}

MetadataPattern string(std::string const& text)
{
    return MetadataPattern(text, MetadataPattern::String);
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

struct ReasonCase {
    std::string path;
    std::vector<MetadataPattern> patterns;
    std::size_t pattern;
    UnmatchedReason::Kind kind;
    std::string description;
};

TEST(UnmatchedReason, NamesThePatternAndHowItFailed)
{
    std::vector<ReasonCase> const cases = {
        {"notes/readme.txt", {numeric("Re=")}, 0, UnmatchedReason::MissingText, "no \"Re=\" in the path"},
        {"Re=100/summary.csv",
         {numeric("Re="), numeric("Mach=")},
         1,
         UnmatchedReason::MissingText,
         "no \"Mach=\" after \"Re=\""},
        // b= is searched only after a=, and a= only after b=.
        {"b=1/a=2/f",
         {numeric("a="), numeric("b=")},
         1,
         UnmatchedReason::MissingText,
         "no \"b=\" after \"a=\""},
        // A later missing text hides an earlier bad value: no value is read then.
        {"Re=XX/f",
         {numeric("Re="), numeric("Mach=")},
         1,
         UnmatchedReason::MissingText,
         "no \"Mach=\" after \"Re=\""},
        {"Re=XX/Mach=1/f",
         {numeric("Re="), numeric("Mach=")},
         0,
         UnmatchedReason::NotANumber,
         "\"Re=\" is not followed by a number"},
        {"Re=1/Mach=/f",
         {numeric("Re="), numeric("Mach=")},
         1,
         UnmatchedReason::NotANumber,
         "\"Mach=\" is not followed by a number"},
        {"Re=1/Mach=.",
         {numeric("Re="), numeric("Mach=")},
         1,
         UnmatchedReason::NotANumber,
         "\"Mach=\" is not followed by a number"},
        {"runs/T=5.dat",
         {string("T=")},
         0,
         UnmatchedReason::TextTooShort,
         "\"T=\" is followed by fewer than two characters before the end of the file name (extensions "
         "removed)"},
        {"runs/model=.hidden", {string("model=")}, 0, UnmatchedReason::TextTooShort, ""},
        // "e=" is found one byte after "Re=" starts, inside its text.
        {"Re=5/f",
         {numeric("Re="), numeric("e=")},
         0,
         UnmatchedReason::NoRoomForValue,
         "\"e=\" begins inside \"Re=\", leaving no room for \"Re=\"'s value"},
        {"x=ab/y", {string("x="), string("=ab")}, 0, UnmatchedReason::NoRoomForValue, ""},
    };
    for (ReasonCase const& c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<MetadataInfo> records;
        ASSERT_FALSE(matched(c.path, c.patterns, records));
        UnmatchedReason const reason = cli::unmatchedReason(c.path, c.patterns, records);
        EXPECT_EQ(reason.pattern, c.pattern);
        EXPECT_EQ(reason.kind, c.kind);
        if (!c.description.empty()) {
            EXPECT_EQ(cli::describe(reason, c.patterns), c.description);
        }
    }
}

// Every short path over an alphabet that makes the patterns overlap, match
// in part and fail in each way: the reason agrees with what the library read.
TEST(UnmatchedReason, AgreesWithTheLibraryOnEveryShortPath)
{
    std::string const alphabet = "a=1./x";
    std::vector<std::vector<MetadataPattern>> const patternLists = {{numeric("a=")},
                                                                    {string("a=")},
                                                                    {numeric("a="), string("=")},
                                                                    {string("a"), numeric("=")},
                                                                    {numeric("="), numeric("=")},
                                                                    {string("a="), numeric("a=")}};
    std::size_t checked = 0;
    std::vector<std::string> paths = {""};
    for (std::size_t length = 1; length <= 5; ++length) {
        std::vector<std::string> longer;
        for (std::string const& path : paths)
            for (char const c : alphabet)
                longer.push_back(path + c);
        paths.swap(longer);
        for (std::string const& path : paths)
            for (std::vector<MetadataPattern> const& patterns : patternLists) {
                std::vector<MetadataInfo> records;
                if (matched(path, patterns, records))
                    continue;
                ++checked;
                UnmatchedReason const reason = cli::unmatchedReason(path, patterns, records);
                ASSERT_LT(reason.pattern, patterns.size()) << path;
                if (reason.kind == UnmatchedReason::MissingText) {
                    // No value is read unless every text is found.
                    EXPECT_TRUE(records.empty()) << path;
                } else {
                    // The failing value is the one after the records read.
                    EXPECT_EQ(reason.pattern, records.size()) << path;
                    bool const isNumeric = patterns[reason.pattern].valueType == MetadataPattern::Numeric;
                    if (reason.kind == UnmatchedReason::NotANumber) {
                        EXPECT_TRUE(isNumeric) << path;
                    }
                    if (reason.kind == UnmatchedReason::TextTooShort) {
                        EXPECT_FALSE(isNumeric) << path;
                    }
                }
            }
    }
    EXPECT_GT(checked, 10000u);
}

TEST(Explanation, GroupsByReasonLargestFirstWithAFewExamples)
{
    std::vector<MetadataPattern> const patterns = {numeric("Re="), numeric("Mach=")};
    cli::Explanation explanation(patterns);
    for (std::string const path : {"a", "b", "c", "d", "e"})
        explanation.add(path, {});
    explanation.add("Re=1/f", {});
    std::vector<cli::Explanation::Group> const groups = explanation.groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].count, 5u);
    EXPECT_THAT(groups[0].examples, ElementsAre("a", "b", "c"));
    EXPECT_EQ(groups[1].reason.pattern, 1u);
    EXPECT_EQ(explanation.unmatchedCount(), 6u);
}

TEST(ProgramOptions, PatternValuesTakeATypeSuffix)
{
    MetadataPattern const plain = cli::parsePatternOption("Re=");
    EXPECT_EQ(plain.pattern, "Re=");
    EXPECT_EQ(plain.valueType, cli::DEFAULT_VALUE_TYPE);
    EXPECT_EQ(cli::parsePatternOption("model=:string").valueType, MetadataPattern::String);
    EXPECT_EQ(cli::parsePatternOption("model=:string").pattern, "model=");
    EXPECT_EQ(cli::parsePatternOption("t:numeric").valueType, MetadataPattern::Numeric);
    // Only the last suffix is taken; another colon is part of the text.
    EXPECT_EQ(cli::parsePatternOption("x:numeric:string").pattern, "x:numeric");
    EXPECT_EQ(cli::parsePatternOption("time:").pattern, "time:");
    EXPECT_THROW(cli::parsePatternOption(""), cli::UsageError);
    EXPECT_THROW(cli::parsePatternOption(":numeric"), cli::UsageError);
}

TEST(ProgramOptions, AuxValuesSplitAtTheFirstEqualsSign)
{
    AuxFileIdentifier const data = cli::parseAuxOption("data=Re=*.dat");
    EXPECT_EQ(data.tag, "data");
    EXPECT_EQ(data.syntaxName, "Re=*.dat");
    AuxFileIdentifier const empty = cli::parseAuxOption("=");
    EXPECT_TRUE(empty.tag.empty() && empty.syntaxName.empty());
    EXPECT_THROW(cli::parseAuxOption("mesh"), cli::UsageError);
}

TEST(ProgramOptions, FormatComesFromTheOptionThenTheExtension)
{
    EXPECT_EQ(cli::formatFromExtension("out/cases.CSV"), cli::OutputFormat::Csv);
    EXPECT_EQ(cli::formatFromExtension("cases.vtt"), cli::OutputFormat::VtkXml);
    EXPECT_EQ(cli::formatFromExtension("cases.txt"), cli::OutputFormat::Table);
    EXPECT_EQ(cli::formatFromExtension("out.d/cases"), std::nullopt);
    cli::ProgramOptions options;
    options.output = "cases.json";
    EXPECT_EQ(cli::outputFormat(options), cli::OutputFormat::Json);
    options.format = cli::OutputFormat::Csv;
    EXPECT_EQ(cli::outputFormat(options), cli::OutputFormat::Csv);
    EXPECT_EQ(cli::outputFormat(cli::ProgramOptions()), cli::OutputFormat::Table);
}

TEST(ColumnNames, AreTheCaseTableColumnNames)
{
    EXPECT_THAT(cli::columnNames({numeric("A"), numeric("A(2)"), numeric("A")}),
                ElementsAre("A", "A(2)", "A(3)"));
    EXPECT_THAT(cli::columnNames({numeric("A"), numeric("A"), numeric("A(2)")}),
                ElementsAre("A", "A(2)", "A(2)(2)"));
}

TEST(TerminalText, ControlCharactersAreEscapedAndWidthsCountCharacters)
{
    EXPECT_EQ(cli::printable(std::string("a\nb\tc\x01\x7f\xc3\xa9", 9)), "a\\nb\\tc\\x01\\x7F\xc3\xa9");
    EXPECT_EQ(cli::displayWidth("caf\xc3\xa9"), 4u);
    EXPECT_EQ(cli::lastColumns("/very/long/path", 8), ".../path");
    EXPECT_EQ(cli::lastColumns("/x/\xc3\xa9\xc3\xa9\xc3\xa9", 5), "...\xc3\xa9\xc3\xa9");
    EXPECT_EQ(cli::lastColumns("short", 8), "short");
}

} // namespace
