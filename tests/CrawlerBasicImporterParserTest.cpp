#include "filecrawler/CrawlerBasicImporterParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

MetadataPattern numeric(std::string const& text)
{
    return MetadataPattern(text, MetadataPattern::Numeric);
}

MetadataPattern text(std::string const& text)
{
    return MetadataPattern(text, MetadataPattern::String);
}

void append(CrawlerBasicImporterParser& parser, std::vector<std::string> const& paths)
{
    for (std::string const& path : paths)
        parser.appendRawFilePath(path);
}

// Every case as its values joined with "|", in case index order.
std::vector<std::string> cases(CrawlerBasicImporterParser const& parser, std::size_t patternCount)
{
    std::vector<std::string> out;
    for (std::size_t c = 0; c < parser.numDefinedCases(); ++c) {
        std::string joined;
        for (std::size_t k = 0; k < patternCount; ++k)
            joined += (k == 0 ? "" : "|") + parser.caseMetadataSValue(c, k);
        out.push_back(joined);
    }
    return out;
}

// Every entry as "path:caseIndex", or "path:-" when it belongs to no case.
std::vector<std::string> entries(CrawlerBasicImporterParser const& parser)
{
    std::vector<std::string> out;
    for (auto const& entry : parser.crawlerFilePathList())
        out.push_back(entry->filePath() + ":" +
                      (entry->isIdentified() ? std::to_string(entry->caseIndex()) : std::string("-")));
    return out;
}

TEST(ParserCases, EqualTuplesShareOneCase)
{
    CrawlerBasicImporterParser parser;
    append(parser, {"Re=100/Mach=0.5/mesh.msh", "Re=100/Mach=0.5/sol.vtu", "Re=100/Mach=0.7/sol.vtu"});
    parser.applyMetadataPatternList({numeric("Re="), numeric("Mach=")});

    EXPECT_THAT(cases(parser, 2), ElementsAre("100|0.5", "100|0.7"));
    EXPECT_THAT(entries(parser), ElementsAre("Re=100/Mach=0.5/mesh.msh:0", "Re=100/Mach=0.5/sol.vtu:0",
                                             "Re=100/Mach=0.7/sol.vtu:1"));
}

TEST(ParserCases, NumberedByAscendingByteOrderOfPathsNotByAppendOrder)
{
    CrawlerBasicImporterParser parser;
    // Byte order: upper case before lower case, bytes above 0x7f last.
    append(parser, {"b/x=1", "\xc3\xa9/x=4", "a/x=2", "B/x=3", "a/x=2/again"});
    parser.applyMetadataPatternList({numeric("x=")});

    EXPECT_THAT(cases(parser, 1), ElementsAre("3", "2", "1", "4"));
    EXPECT_THAT(entries(parser),
                ElementsAre("B/x=3:0", "a/x=2:1", "a/x=2/again:1", "b/x=1:2", "\xc3\xa9/x=4:3"));
}

TEST(ParserCases, ValuesAreComparedAsTextsNotNumbers)
{
    CrawlerBasicImporterParser parser;
    append(parser, {"x=1/a", "x=1.0/a", "x=01/a", "x=1/b"});
    parser.applyMetadataPatternList({numeric("x=")});
    EXPECT_THAT(cases(parser, 1), ElementsAre("01", "1.0", "1"));
}

TEST(ParserCases, UnmatchedPathsStayListedWithoutCase)
{
    CrawlerBasicImporterParser parser;
    append(parser, {"notes.txt", "Re=1/Mach=x/out", "Re=2/Mach=3/out", "Mach=1/Re=1/out"});
    std::vector<MetadataPattern> const patterns = {numeric("Re="), numeric("Mach=")};
    parser.applyMetadataPatternList(patterns);

    EXPECT_THAT(entries(parser),
                ElementsAre("Mach=1/Re=1/out:-", "Re=1/Mach=x/out:-", "Re=2/Mach=3/out:0", "notes.txt:-"));
    EXPECT_EQ(parser.metadataInfoList("Re=1/Mach=x/out").size(), 1u); // partial, up to the failure
    EXPECT_EQ(parser.metadataInfoList("Re=2/Mach=3/out").size(), 2u);
    EXPECT_THAT(parser.metadataInfoList("never/appended"), IsEmpty());
    EXPECT_THAT(parser.metadataInfoList("notes.txt"), IsEmpty());
}

TEST(ParserCases, EachApplicationReformsAllCases)
{
    CrawlerBasicImporterParser parser;
    append(parser, {"Re=1/m=a/out", "Re=1/m=b/out", "Re=2/m=a/out"});
    parser.applyMetadataPatternList({numeric("Re=")});
    ASSERT_THAT(cases(parser, 1), ElementsAre("1", "2"));

    parser.applyMetadataPatternList({text("m="), numeric("Re=")});
    EXPECT_EQ(parser.numDefinedCases(), 0u); // the texts must appear in list order
    parser.applyMetadataPatternList({numeric("Re="), text("m=")});
    EXPECT_THAT(cases(parser, 2), ElementsAre("1|a", "1|b", "2|a"));
    EXPECT_THAT(entries(parser), ElementsAre("Re=1/m=a/out:0", "Re=1/m=b/out:1", "Re=2/m=a/out:2"));

    // A path that stops matching leaves its case; an empty list forms no case
    // and leaves no file claiming one.
    parser.applyMetadataPatternList({numeric("Re="), numeric("m=")});
    EXPECT_EQ(parser.numDefinedCases(), 0u);
    EXPECT_THAT(entries(parser), ElementsAre("Re=1/m=a/out:-", "Re=1/m=b/out:-", "Re=2/m=a/out:-"));
    parser.applyMetadataPatternList({numeric("Re=")});
    parser.applyMetadataPatternList({});
    EXPECT_EQ(parser.numDefinedCases(), 0u);
    EXPECT_THAT(parser.metadataInfoList("Re=1/m=a/out"), IsEmpty());
    EXPECT_THAT(entries(parser), ElementsAre("Re=1/m=a/out:-", "Re=1/m=b/out:-", "Re=2/m=a/out:-"));
}

TEST(ParserPaths, AppendingAPathAgainReplacesItsEntry)
{
    CrawlerBasicImporterParser parser;
    EXPECT_THAT(parser.crawlerFilePathList(), IsEmpty());
    parser.appendRawFilePath("x=1/a");
    parser.applyMetadataPatternList({numeric("x=")});
    auto const first = parser.crawlerFilePathList();
    ASSERT_EQ(first.size(), 1u);

    parser.appendRawFilePath("x=1/a");
    auto const second = parser.crawlerFilePathList();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(second[0], first[0]);
    EXPECT_FALSE(second[0]->isIdentified()); // new, not matched yet
    EXPECT_TRUE(first[0]->isIdentified());   // the old entry lives on with its holder
    EXPECT_EQ(parser.numDefinedCases(), 1u); // cases wait for the next application
}

TEST(ParserPaths, ClearingPathsKeepsTheCasesOfTheLastApplication)
{
    CrawlerBasicImporterParser parser;
    append(parser, {"x=1/a", "x=2/a"});
    parser.applyMetadataPatternList({numeric("x=")});
    parser.clearFilePaths();

    EXPECT_THAT(parser.crawlerFilePathList(), IsEmpty());
    EXPECT_THAT(parser.metadataInfoList("x=1/a"), IsEmpty());
    EXPECT_THAT(cases(parser, 1), ElementsAre("1", "2"));

    parser.applyMetadataPatternList({numeric("x=")});
    EXPECT_EQ(parser.numDefinedCases(), 0u);
}

} // namespace
