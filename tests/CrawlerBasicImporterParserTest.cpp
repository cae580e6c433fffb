// The case rules, spelled out. The generated comparisons with the literal
// parser (ParserEquivalenceTest) rely on that parser following them too.
#include "filecrawler/CrawlerBasicImporterParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::IsEmpty;

MetadataPattern numeric(std::string const& text)
{
    return MetadataPattern(text, MetadataPattern::Numeric);
}

MetadataPattern text(std::string const& text)
{
    return MetadataPattern(text, MetadataPattern::String);
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
