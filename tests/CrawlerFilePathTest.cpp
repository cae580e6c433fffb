#include "filecrawler/CrawlerFilePath.h"

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

// Each record as "patternPosition,valuePosition,valueLength,value", after
// checking that it describes its own path correctly.
std::vector<std::string> records(CrawlerFilePath const& entry, std::vector<MetadataPattern> const& patterns)
{
    std::string const path = entry.filePath();
    std::vector<std::string> out;
    std::size_t k = 0;
    for (MetadataInfo const& info : entry.metadataInfoList()) {
        EXPECT_EQ(info.valuePosition, info.patternPosition + patterns.at(k++).pattern.size());
        EXPECT_EQ(info.value, path.substr(info.valuePosition, info.valueLength));
        out.push_back(std::to_string(info.patternPosition) + "," + std::to_string(info.valuePosition) + "," +
                      std::to_string(info.valueLength) + "," + info.value);
    }
    return out;
}

// The values read from `path`, or "<no match>".
std::string values(std::string const& path, std::vector<MetadataPattern> const& patterns)
{
    CrawlerFilePath entry(path);
    if (!entry.matchMetadataPatterns(patterns))
        return "<no match>";
    std::string joined;
    for (std::string const& value : entry.metadataSValueList())
        joined += (joined.empty() ? "" : "|") + value;
    return joined;
}

TEST(CrawlerFilePathMatch, RecordsPositionsAndValuesInPatternOrder)
{
    std::vector<MetadataPattern> const patterns = {numeric("Re="), numeric("Mach=")};
    CrawlerFilePath entry("runs/Re=100/Mach=0.5/out.dat");
    EXPECT_TRUE(entry.matchMetadataPatterns(patterns));
    EXPECT_TRUE(entry.isIdentified());
    EXPECT_THAT(records(entry, patterns), ElementsAre("5,8,3,100", "12,17,3,0.5"));
    EXPECT_THAT(entry.metadataSValueList(), ElementsAre("100", "0.5"));

    CrawlerFilePath single("data/Re=100/out");
    single.matchMetadataPatterns({numeric("Re=")});
    EXPECT_THAT(records(single, {numeric("Re=")}), ElementsAre("5,8,3,100"));
}

TEST(CrawlerFilePathMatch, TextAndNumericValuesAtTheEndOfThePath)
{
    EXPECT_EQ(values("runs/Re=100/Mach=0.5/out.dat", {numeric("Re="), text("Mach=")}), "100|0.5");
    EXPECT_EQ(values("runs/T=300.dat", {numeric("T=")}), "300");
    EXPECT_EQ(values("runs/T=300.dat", {text("T=")}), "300");
    // Only one character would be left after stripping: not a text value.
    EXPECT_EQ(values("runs/T=5.dat", {text("T=")}), "<no match>");
    EXPECT_EQ(values("runs/T=5.dat", {numeric("T=")}), "5");
    EXPECT_EQ(values("x=-1.5D+3/x", {numeric("x=")}), "-1.5D+3");
    EXPECT_EQ(values("x= 5/x", {numeric("x=")}), "<no match>"); // nothing is skipped
    EXPECT_EQ(values("runs/T=12", {text("T=")}), "12");
    EXPECT_EQ(values("runs/T=1", {text("T=")}), "<no match>");
    // Dots survive when a separator ends the value; the last component loses
    // everything from its first dot.
    EXPECT_EQ(values("c=1.5/out", {text("c=")}), "1.5");
    EXPECT_EQ(values("run/case12.2.3", {text("case")}), "12");
    EXPECT_EQ(values("run\\x=ab\\out", {text("x=")}), "ab");

    CrawlerFilePath empty("runs/x=/y");
    EXPECT_TRUE(empty.matchMetadataPatterns({text("x=")}));
    EXPECT_THAT(records(empty, {text("x=")}), ElementsAre("5,7,0,"));
}

TEST(CrawlerFilePathMatch, EachValueEndsWhereTheNextPatternBegins)
{
    EXPECT_EQ(values("a=12b=3", {numeric("a="), numeric("b=")}), "12|3");
    EXPECT_EQ(values("a=xyb=3", {text("a="), numeric("b=")}), "xy|3");
    // The same text twice: the second search starts one byte after the first hit.
    EXPECT_EQ(values("x1x2", {numeric("x"), numeric("x")}), "1|2");
    // A later text found inside the earlier one leaves no room for its value.
    EXPECT_EQ(values("Re=1/e=2", {numeric("Re="), numeric("e=")}), "<no match>");
    EXPECT_EQ(values("Re=ab/e=2", {text("Re="), numeric("e=")}), "<no match>");
}

TEST(CrawlerFilePathMatch, OnlyTheFirstOccurrenceInOrderIsUsed)
{
    EXPECT_EQ(values("a=1/b=2", {numeric("b="), numeric("a=")}), "<no match>");
    EXPECT_EQ(values("Re=base/run/Re=5/out", {numeric("Re=")}), "<no match>");
    EXPECT_EQ(values("Re=", {numeric("Re="), numeric("Re=")}), "<no match>");
}

TEST(CrawlerFilePathMatch, FailureKeepsEarlierRecordsAndTheLastGoodValues)
{
    std::vector<MetadataPattern> const patterns = {numeric("Re="), numeric("Mach=")};
    CrawlerFilePath entry("Re=1/Mach=x/out");
    EXPECT_FALSE(entry.matchMetadataPatterns(patterns));
    EXPECT_FALSE(entry.isIdentified());
    EXPECT_THAT(records(entry, patterns), ElementsAre("0,3,1,1"));
    EXPECT_THAT(entry.metadataSValueList(), IsEmpty());

    // A pattern text that is missing altogether extracts nothing.
    CrawlerFilePath partial("Re=1/out");
    EXPECT_FALSE(partial.matchMetadataPatterns(patterns));
    EXPECT_THAT(partial.metadataInfoList(), IsEmpty());

    CrawlerFilePath good("Re=1/Mach=2/out");
    ASSERT_TRUE(good.matchMetadataPatterns(patterns));
    good.setCaseIndex(4);
    good.clearMetadataInfoList();
    EXPECT_THAT(good.metadataInfoList(), IsEmpty());
    EXPECT_TRUE(good.isIdentified());
    EXPECT_FALSE(good.matchMetadataPatterns({numeric("Mach="), numeric("Re=")}));
    EXPECT_FALSE(good.isIdentified());
    EXPECT_THAT(good.metadataSValueList(), ElementsAre("1", "2"));
    EXPECT_EQ(good.caseIndex(), 4u);
}

TEST(CrawlerFilePathMatch, EmptyPatternListChangesNothing)
{
    CrawlerFilePath entry("Re=1/out");
    ASSERT_TRUE(entry.matchMetadataPatterns({numeric("Re=")}));
    EXPECT_FALSE(entry.matchMetadataPatterns({}));
    EXPECT_TRUE(entry.isIdentified());
    EXPECT_THAT(entry.metadataSValueList(), ElementsAre("1"));
    EXPECT_EQ(entry.metadataInfoList().size(), 1u);
}

TEST(CrawlerFilePathEntry, AnswersAsAnAuxFile)
{
    std::vector<std::string> const paths = {"Re=1/mesh.msh", "Re=1/Solution.VTU", "a/b", "x\xff.dat"};
    for (std::string const& path : paths) {
        CrawlerFilePath entry(path);
        EXPECT_EQ(entry.filePath(), path);
        EXPECT_EQ(entry.description(), "");
        EXPECT_EQ(entry.type(), auxFileType(path));
        EXPECT_EQ(entry.caseIndex(), 0u);
        EXPECT_FALSE(entry.isIdentified());
    }
    EXPECT_EQ(CrawlerFilePath("Re=1/mesh.msh").type(), AuxFileInfoInterface::Mesh);
}

} // namespace
