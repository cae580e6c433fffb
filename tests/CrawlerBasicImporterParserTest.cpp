// The parser and its file entries: the rules spelled out. The fuzzers
// compare every answer with the parser as first written down
// (bench/LiteralParser.h).

#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/private/CrawlerFilePath.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace {

// What the host's classifier is asked while `counting`; it refuses `refused`.
struct Classifier {
    bool counting = false;
    std::map<std::string, int> calls;
    std::string refused;
};
Classifier classifier;

} // namespace

// The host's auxFileType, interposed for this program: it records its calls
// and refuses one path, and otherwise answers as the host's own.
AuxFileInfoInterface::Type auxFileType(std::string const& path)
{
    using Classify = AuxFileInfoInterface::Type (*)(std::string const&);
    static Classify const host = reinterpret_cast<Classify>(
        dlsym(RTLD_NEXT, "_Z11auxFileTypeRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"));
    if (classifier.counting) {
        ++classifier.calls[path];
        if (path == classifier.refused)
            throw std::runtime_error("no type for " + path);
    }
    return host(path);
}

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

// Each record as "patternPosition,valuePosition,valueLength,value".
std::vector<std::string> records(std::vector<MetadataInfo> const& infos)
{
    std::vector<std::string> out;
    for (MetadataInfo const& info : infos)
        out.push_back(std::to_string(info.patternPosition) + "," + std::to_string(info.valuePosition) + "," +
                      std::to_string(info.valueLength) + "," + info.value);
    return out;
}

TEST(CrawlerFilePath, AFailedMatchingKeepsTheLastGoodValuesAndTheCaseIndex)
{
    CrawlerFilePath good("Re=1/Mach=2/out");
    ASSERT_TRUE(good.matchMetadataPatterns({numeric("Re="), numeric("Mach=")}));
    good.setCaseIndex(4);
    EXPECT_FALSE(good.matchMetadataPatterns({})); // changes nothing
    EXPECT_TRUE(good.isIdentified());
    good.clearMetadataInfoList();
    EXPECT_THAT(good.metadataInfoList(), IsEmpty());
    EXPECT_FALSE(good.matchMetadataPatterns({numeric("Mach="), numeric("Re=")}));
    EXPECT_FALSE(good.isIdentified());
    EXPECT_THAT(good.metadataSValueList(), ElementsAre("1", "2"));
    EXPECT_EQ(good.caseIndex(), 4u);

    // Paths and pattern lists too long for the compact records are kept whole.
    std::string path;
    for (int i = 0; i < 70000; ++i)
        path += "x=" + std::to_string(i % 10) + "/";
    CrawlerFilePath long_(path);
    ASSERT_TRUE(long_.matchMetadataPatterns(std::vector<MetadataPattern>(70000, numeric("x="))));
    std::vector<std::string> const values = long_.metadataSValueList();
    ASSERT_EQ(values.size(), 70000u);
    EXPECT_EQ(values[69999], "9");
    EXPECT_EQ(records({long_.metadataInfoList().back()}), std::vector<std::string>{"279996,279998,1,9"});
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
    // Each application forms the cases anew; the texts must come in list
    // order; an empty list forms no case and leaves no file claiming one.
    for (auto const& patterns : {std::vector<MetadataPattern>{text("m="), numeric("x=")}, {}}) {
        parser.applyMetadataPatternList({numeric("x=")});
        parser.applyMetadataPatternList(patterns);
        EXPECT_EQ(parser.numDefinedCases(), 0u);
        for (auto const& entry : parser.crawlerFilePathList())
            EXPECT_FALSE(entry->isIdentified()) << entry->filePath();
    }
}

TEST(ParserCases, NeighboursShareValuesOnlyAsFarAsTheirPathsAgreeThroughTheSeparatorAfterThem)
{
    // Sorted neighbours in one folder read the same values; one that goes on
    // differently right after a value, or holds its values in its name, may not.
    CrawlerBasicImporterParser parser;
    for (char const* path : {"r/Re=1/m=a/f1", "r/Re=1/m=a/f2", "r/Re=1/m=a.b/f", "r/Re=1/m=ab",
                             "r/Re=2.5/m=zz", "r/Re=2/m=zz/f", "r/Re=2/m=zz/Re=3/m=y", "r/x_Re=2_m=cc.csv",
                             "r/x_Re=2_m=cc.d/f", "r/x_Re=2_m=ccd.csv", "r/Re=1/m=a/Re=9/f"})
        parser.appendRawFilePath(path);
    parser.applyMetadataPatternList({numeric("Re="), text("m=")});
    EXPECT_EQ(summary(parser, 2), "r/Re=1/m=a.b/f:0 r/Re=1/m=a/Re=9/f:1 r/Re=1/m=a/f1:1 r/Re=1/m=a/f2:1 "
                                  "r/Re=1/m=ab:2 r/Re=2.5/m=zz:3 r/Re=2/m=zz/Re=3/m=y:4 r/Re=2/m=zz/f:4 "
                                  "r/x_Re=2_m=cc.csv:5 r/x_Re=2_m=cc.d/f:6 r/x_Re=2_m=ccd.csv:7 "
                                  "| 1,a.b 1,a 1,ab 2.5,zz 2,zz 2,cc 2,cc.d 2,ccd");
    // Each file's records are its own, whether read or taken from the file before.
    EXPECT_THAT(records(parser.metadataInfoList("r/Re=1/m=a/f2")), ElementsAre("2,5,1,1", "7,9,1,a"));
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

// Each appended path is classified once, when it is appended; a path the
// classifier refuses leaves the parser as it was, and usable.
TEST(ParserPaths, AppendingClassifiesOnceAndARefusalChangesNothing)
{
    using ::testing::Pair;
    CrawlerBasicImporterParser parser;
    classifier = Classifier{true, {}, "x=3/c"};
    std::map<std::string, int> appended;
    for (std::string const& path : std::vector<std::string>{"x=2/b", "x=1/a.dat", "x=2/b"}) {
        parser.appendRawFilePath(path);
        EXPECT_EQ(classifier.calls[path], ++appended[path]) << path; // the entry is made at once
    }
    EXPECT_THROW(parser.appendRawFilePath("x=3/c"), std::runtime_error);
    parser.applyMetadataPatternList({numeric("x=")});
    std::string const twoCases = "x=1/a.dat:0 x=2/b:1 | 1 2";
    EXPECT_EQ(summary(parser, 1), twoCases);
    // Refused again, now for a path whose entry is in a case.
    classifier.refused = "x=1/a.dat";
    EXPECT_THROW(parser.appendRawFilePath("x=1/a.dat"), std::runtime_error);
    classifier.refused.clear();
    EXPECT_EQ(summary(parser, 1), twoCases);
    parser.appendRawFilePath("x=3/c");
    parser.applyMetadataPatternList({numeric("x=")});
    EXPECT_EQ(summary(parser, 1), "x=1/a.dat:0 x=2/b:1 x=3/c:2 | 1 2 3");
    // Asking and applying never classifies again.
    EXPECT_THAT(classifier.calls, ElementsAre(Pair("x=1/a.dat", 2), Pair("x=2/b", 2), Pair("x=3/c", 2)));
    classifier = Classifier();
}

} // namespace
