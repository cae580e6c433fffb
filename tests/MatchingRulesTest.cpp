// The matching rules, spelled out: where the pattern texts are found, where
// numeric and text values end, what a file entry keeps, and how the parser
// forms cases. The generated comparisons with the literal versions
// (ParserEquivalenceTest) rely on those following the same rules.
#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/MetadataValueNumber.h"
#include "filecrawler/private/CrawlerFilePath.h"
#include "filecrawler/private/PathValueScanner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The value that starts at `start` of `segment`, or "-" for none.
std::string valueIn(bool numeric, std::string const& segment, std::size_t start = 2)
{
    std::size_t end = 0;
    bool const found = numeric ? pathvalue::findNumericValueEnd(segment, start, end)
                               : pathvalue::findStringValueEnd(segment, start, end);
    return found ? segment.substr(start, end - start) : "-";
}

TEST(PathValueScanner, NumbersEndWhereTheyCannotGoOn)
{
    // Sign, fraction, exponent (Fortran's D too); a trailing point and an
    // exponent without digits are left out.
    std::pair<char const*, char const*> const cases[] = {
        {"x=-4/", "-4"},         {"x=1.5D+3/", "1.5D+3"}, {"x=.5/", ".5"},    {"x=+.5", "+.5"},
        {"x=-.5e-3x", "-.5e-3"}, {"x=4d2", "4d2"},        {"x=5.e3", "5.e3"}, {"T=300.dat", "300"},
        {"x=2e/", "2"},          {"x=12e-", "12"},        {"x=3E+", "3"},     {"x=1ee2", "1"},
        {"x=1.5.6", "1.5"},      {"x=1e5.", "1e5"},       {"x=abc/", "-"},    {"x=+/", "-"},
        {"x=./", "-"},           {"x=--1", "-"},          {"x=e5", "-"},      {"x=", "-"}};
    for (auto const& [segment, value] : cases)
        EXPECT_EQ(valueIn(true, segment), value) << segment;
    EXPECT_EQ(valueIn(true, std::string("x=12", 3)), "1"); // never past the segment
    EXPECT_EQ(valueIn(true, "R", 3), "-");
}

// A whole value text is a number by the same rule, D exponents included;
// beyond the range of double it is infinity, below it zero.
TEST(PathValueScanner, WholeTextsThatAreNumbersGiveTheNearestDouble)
{
    double const inf = std::numeric_limits<double>::infinity();
    double const none = -42; // stands for "no number"
    std::pair<char const*, double> const cases[] = {
        {"1.0D+03", 1000}, {"2d3", 2000},  {"007", 7},       {"-.5e-3", -0.0005}, {"+.5", 0.5},
        {"5.e3", 5000},    {"1e999", inf}, {"-1e999", -inf}, {"1e-999", 0},       {"12e", none},
        {"", none},        {"abc", none},  {"1.", none},     {"1e5x", none},      {" 1", none},
        {"nan", none},     {"inf", none},  {"0x10", none}};
    for (auto const& [text, number] : cases) {
        std::optional<double> const got = metadataValueNumber(text);
        EXPECT_EQ(got.value_or(none), number) << text;
    }
}

TEST(PathValueScanner, TextsEndAtASeparatorOrAtTheEndWithoutExtensions)
{
    // At the end, with the last component's extensions stripped, a text
    // needs two characters.
    // clang-format off
    std::pair<char const*, char const*> const cases[] = {
        {"x=0.5/out.dat", "0.5"}, {"T=1.5/2.5/out.dat", "1.5"}, {"x=/y", ""}, {"T=a/", "a"}, {"c=a\\b", "a"},
        {"T=300.dat", "300"}, {"c=case12.2.3", "case12"}, {"T=ab", "ab"}, {"T=5.dat", "-"}, {"T=.dat", "-"},
        {"T=a", "-"}, {"T=", "-"}};
    // clang-format on
    for (auto const& [segment, value] : cases)
        EXPECT_EQ(valueIn(false, segment), value) << segment;
    EXPECT_EQ(valueIn(false, "R", 3), "-");
    std::pair<char const*, std::size_t> const stripped[] = {
        {"a.tar.gz", 1},  {"dir.d/x", 7}, {"dir.d\\x.y", 7}, {"a/b.", 3}, {"a.b/", 4},
        {"a/.hidden", 2}, {"a/..", 4},    {"a/...", 4},      {".", 1},    {"", 0}};
    for (auto const& [text, length] : stripped)
        EXPECT_EQ(pathvalue::strippedLength(text), length) << text;
}

TEST(PathValueScanner, EachTextIsSearchedFromOneByteAfterThePreviousHit)
{
    auto positions = [](std::string const& path, std::vector<std::string> const& texts) {
        std::vector<MetadataPattern> patterns;
        for (std::string const& text : texts)
            patterns.emplace_back(text, MetadataPattern::Numeric);
        std::vector<std::size_t> found;
        std::string out = pathvalue::findPatternPositions(path, patterns, found) ? "" : "missing:";
        for (std::size_t p : found)
            out += std::to_string(p) + " ";
        return out;
    };
    EXPECT_EQ(positions("Re=1/Re=2", {"Re=", "Re="}), "0 5 9 ");
    EXPECT_EQ(positions("aaa", {"aa", "aa"}), "0 1 3 "); // occurrences may overlap
    EXPECT_EQ(positions("xx=1", {"", "x", ""}), "0 1 2 4 ");
    EXPECT_EQ(positions("ab", {"b", "", ""}), "missing:1 2 2 ");
    EXPECT_EQ(positions("a=1/b=2", {"b=", "a="}), "missing:4 7 ");
}

MetadataPattern numeric(std::string const& text)
{
    return MetadataPattern(text, MetadataPattern::Numeric);
}

MetadataPattern text(std::string const& text)
{
    return MetadataPattern(text, MetadataPattern::String);
}

// Each record as "patternPosition,valuePosition,valueLength,value".
std::vector<std::string> records(CrawlerFilePath const& entry)
{
    std::vector<std::string> out;
    for (MetadataInfo const& info : entry.metadataInfoList())
        out.push_back(std::to_string(info.patternPosition) + "," + std::to_string(info.valuePosition) + "," +
                      std::to_string(info.valueLength) + "," + info.value);
    return out;
}

TEST(CrawlerFilePath, RecordsWhereEachValueWasFound)
{
    CrawlerFilePath entry("runs/Re=100/Mach=0.5/out.dat");
    EXPECT_TRUE(entry.matchMetadataPatterns({numeric("Re="), text("Mach=")}));
    EXPECT_TRUE(entry.isIdentified());
    EXPECT_THAT(records(entry), ElementsAre("5,8,3,100", "12,17,3,0.5"));
    EXPECT_THAT(entry.metadataSValueList(), ElementsAre("100", "0.5"));
    EXPECT_EQ(CrawlerFilePath("Re=1/mesh.msh").type(), AuxFileInfoInterface::Mesh);

    CrawlerFilePath empty("runs/x=/y");
    EXPECT_TRUE(empty.matchMetadataPatterns({text("x=")}));
    EXPECT_THAT(records(empty), ElementsAre("5,7,0,"));
    // Each value ends where the next text begins; a text found inside the
    // one before leaves no room for its value.
    CrawlerFilePath adjacent("a=12b=xy/c");
    EXPECT_TRUE(adjacent.matchMetadataPatterns({numeric("a="), text("b=")}));
    EXPECT_THAT(adjacent.metadataSValueList(), ElementsAre("12", "xy"));
    EXPECT_FALSE(CrawlerFilePath("Re=1/e=2").matchMetadataPatterns({numeric("Re="), numeric("e=")}));
    EXPECT_FALSE(CrawlerFilePath("Re=ab/e=2").matchMetadataPatterns({text("Re="), numeric("e=")}));
}

TEST(CrawlerFilePath, FailureKeepsEarlierRecordsAndTheLastGoodValues)
{
    std::vector<MetadataPattern> const patterns = {numeric("Re="), numeric("Mach=")};
    CrawlerFilePath entry("Re=1/Mach=x/out");
    EXPECT_FALSE(entry.matchMetadataPatterns(patterns));
    EXPECT_FALSE(entry.isIdentified());
    EXPECT_THAT(records(entry), ElementsAre("0,3,1,1"));
    EXPECT_THAT(entry.metadataSValueList(), IsEmpty());
    // A text missing altogether: no value is read.
    CrawlerFilePath partial("Re=1/out");
    EXPECT_FALSE(partial.matchMetadataPatterns(patterns));
    EXPECT_THAT(partial.metadataInfoList(), IsEmpty());

    CrawlerFilePath good("Re=1/Mach=2/out");
    ASSERT_TRUE(good.matchMetadataPatterns(patterns));
    good.setCaseIndex(4);
    EXPECT_FALSE(good.matchMetadataPatterns({})); // changes nothing
    EXPECT_TRUE(good.isIdentified());
    EXPECT_EQ(good.metadataInfoList().size(), 2u);
    good.clearMetadataInfoList();
    EXPECT_THAT(good.metadataInfoList(), IsEmpty());
    EXPECT_FALSE(good.matchMetadataPatterns({numeric("Mach="), numeric("Re=")}));
    EXPECT_FALSE(good.isIdentified());
    EXPECT_THAT(good.metadataSValueList(), ElementsAre("1", "2"));
    EXPECT_EQ(good.caseIndex(), 4u);
}

// The entries as "path:case" ("-" for none), then each case's values.
std::string summary(CrawlerBasicImporterParser const& parser, std::size_t patternCount)
{
    std::string out;
    for (auto const& entry : parser.crawlerFilePathList())
        out += entry->filePath() + ":" + (entry->isIdentified() ? std::to_string(entry->caseIndex()) : "-") +
               " ";
    out += "|";
    for (std::size_t c = 0; c < parser.numDefinedCases(); ++c)
        for (std::size_t k = 0; k < patternCount; ++k)
            out += (k == 0 ? " " : ",") + parser.caseMetadataSValue(c, k);
    return out;
}

TEST(ParserCases, DistinctValueTextTuplesNumberedInByteOrderOfThePaths)
{
    CrawlerBasicImporterParser parser;
    for (char const* path : {"b/x=1/m=aa", "\xc3\xa9/x=4/m=aa", "a/x=2/m=aa", "B/x=3/m=aa",
                             "a/x=2/m=aa/again", "a/x=2/m=bb", "c/x=1.0/m=aa", "c/x=01/m=aa", "notes.txt"})
        parser.appendRawFilePath(path);
    parser.applyMetadataPatternList({numeric("x="), text("m=")});
    // Byte order: upper case before lower case, bytes above 0x7f last.
    EXPECT_EQ(summary(parser, 2), "B/x=3/m=aa:0 a/x=2/m=aa:1 a/x=2/m=aa/again:1 a/x=2/m=bb:2 b/x=1/m=aa:3 "
                                  "c/x=01/m=aa:4 c/x=1.0/m=aa:5 notes.txt:- \xc3\xa9/x=4/m=aa:6 "
                                  "| 3,aa 2,aa 2,bb 1,aa 01,aa 1.0,aa 4,aa");
}

TEST(ParserCases, EachApplicationReformsAllCases)
{
    CrawlerBasicImporterParser parser;
    for (char const* path : {"Re=1/m=a/out", "Re=1/m=b/out", "Re=2/m=a/out"})
        parser.appendRawFilePath(path);
    parser.applyMetadataPatternList({numeric("Re="), text("m=")});
    EXPECT_EQ(summary(parser, 2), "Re=1/m=a/out:0 Re=1/m=b/out:1 Re=2/m=a/out:2 | 1,a 1,b 2,a");
    parser.applyMetadataPatternList({text("m="), numeric("Re=")}); // the texts must come in list order
    EXPECT_EQ(summary(parser, 2), "Re=1/m=a/out:- Re=1/m=b/out:- Re=2/m=a/out:- |");
    // A path that fails keeps the records read up to the failure.
    parser.applyMetadataPatternList({numeric("Re="), numeric("m=")});
    EXPECT_EQ(parser.metadataInfoList("Re=1/m=a/out").size(), 1u);
    EXPECT_THAT(parser.metadataInfoList("never/appended"), IsEmpty());
    // An empty list forms no case and leaves no file claiming one.
    parser.applyMetadataPatternList({numeric("Re=")});
    parser.applyMetadataPatternList({});
    EXPECT_EQ(summary(parser, 0), "Re=1/m=a/out:- Re=1/m=b/out:- Re=2/m=a/out:- |");
    EXPECT_THAT(parser.metadataInfoList("Re=1/m=a/out"), IsEmpty());
}

TEST(ParserPaths, APathAppendedAgainGetsANewEntryAndClearingKeepsTheCases)
{
    CrawlerBasicImporterParser parser;
    parser.appendRawFilePath("x=1/a");
    parser.appendRawFilePath("x=2/a");
    parser.applyMetadataPatternList({numeric("x=")});
    auto const first = parser.crawlerFilePathList();
    parser.appendRawFilePath("x=1/a");
    auto const second = parser.crawlerFilePathList();
    ASSERT_EQ(second.size(), 2u);
    EXPECT_NE(second[0], first[0]);
    EXPECT_FALSE(second[0]->isIdentified()); // new, not matched yet
    EXPECT_TRUE(first[0]->isIdentified());   // the old entry lives on with its holder
    // The cases wait for the next application, which forms none once the
    // paths are gone.
    parser.clearFilePaths();
    EXPECT_EQ(summary(parser, 1), "| 1 2");
    EXPECT_THAT(parser.metadataInfoList("x=2/a"), IsEmpty());
    parser.applyMetadataPatternList({numeric("x=")});
    EXPECT_EQ(parser.numDefinedCases(), 0u);
}

} // namespace
