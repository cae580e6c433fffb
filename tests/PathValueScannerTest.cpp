#include "filecrawler/PathValueScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string numericValue(std::string const& segment, std::size_t start)
{
    std::size_t end = 0;
    if (!pathvalue::findNumericValueEnd(segment, start, end))
        return "<none>";
    return segment.substr(start, end - start);
}

std::string stringValue(std::string const& segment, std::size_t start)
{
    std::size_t end = 0;
    if (!pathvalue::findStringValueEnd(segment, start, end))
        return "<none>";
    return segment.substr(start, end - start);
}

TEST(NumericScanner, ReadsSignFractionAndExponentAndDropsTrailingPoint)
{
    EXPECT_EQ(numericValue("x=-4/", 2), "-4");
    EXPECT_EQ(numericValue("x=1.5D+3/", 2), "1.5D+3");
    EXPECT_EQ(numericValue("x=.5/", 2), ".5");
    EXPECT_EQ(numericValue("x=2e/", 2), "2");
    EXPECT_EQ(numericValue("T=300.dat", 2), "300");
    EXPECT_EQ(numericValue("x=5.e3", 2), "5.e3");
    EXPECT_EQ(numericValue("x=12e-", 2), "12");
}

TEST(NumericScanner, RejectsTextsThatAreNotNumbers)
{
    EXPECT_EQ(numericValue("x=abc/", 2), "<none>");
    EXPECT_EQ(numericValue("x=+/", 2), "<none>");
    EXPECT_EQ(numericValue("x=./", 2), "<none>");
    EXPECT_EQ(numericValue("x=", 2), "<none>");
    EXPECT_EQ(numericValue("x", 2), "<none>");
}

TEST(StringScanner, StripsExtensionsOfTheLastComponentOnly)
{
    EXPECT_EQ(stringValue("Mach=0.5/out.dat", 5), "0.5");
    EXPECT_EQ(stringValue("T=300.dat", 2), "300");
    EXPECT_EQ(stringValue("T=5.dat", 2), "<none>");
    EXPECT_EQ(stringValue("x=/y", 2), "");
    EXPECT_EQ(stringValue("c=case12.2.3", 2), "case12");
    EXPECT_EQ(stringValue("c=a\\b", 2), "a");
    EXPECT_EQ(pathvalue::strippedLength("a/.hidden"), 2u);
    EXPECT_EQ(pathvalue::strippedLength("a/.."), 4u);
    EXPECT_EQ(pathvalue::strippedLength("a/b."), 3u);
    EXPECT_EQ(pathvalue::strippedLength("a.b/"), 4u);
}

TEST(NumericScanner, StopsAtTheFirstCharacterThatCannotContinueTheNumber)
{
    EXPECT_EQ(numericValue("x=+.5", 2), "+.5");
    EXPECT_EQ(numericValue("x=1.5.6", 2), "1.5");
    EXPECT_EQ(numericValue("x=1e5.", 2), "1e5");
    EXPECT_EQ(numericValue("x=3E+", 2), "3");
    EXPECT_EQ(numericValue("x=-.5e-3x", 2), "-.5e-3");
    EXPECT_EQ(numericValue("x=4d2", 2), "4d2");
    EXPECT_EQ(numericValue("x=1ee2", 2), "1");
    EXPECT_EQ(numericValue("x=--1", 2), "<none>");
    EXPECT_EQ(numericValue("x=e5", 2), "<none>");
    // The scan never reads past its segment, and a start past it is no number.
    EXPECT_EQ(numericValue(std::string("x=12", 3), 2), "1");
    EXPECT_EQ(numericValue("R", 3), "<none>");
}

TEST(StringScanner, ValueAtTheEndNeedsTwoCharactersAfterStripping)
{
    EXPECT_EQ(stringValue("T=12.dat", 2), "12");
    EXPECT_EQ(stringValue("T=.dat", 2), "<none>");
    EXPECT_EQ(stringValue("T=ab", 2), "ab");
    EXPECT_EQ(stringValue("T=a", 2), "<none>");
    EXPECT_EQ(stringValue("T=", 2), "<none>");
    EXPECT_EQ(stringValue("T=a/", 2), "a");
    EXPECT_EQ(stringValue("T=1.5/2.5/out.dat", 2), "1.5");
    EXPECT_EQ(stringValue("R", 3), "<none>");
    EXPECT_EQ(pathvalue::strippedLength("a.tar.gz"), 1u);
    EXPECT_EQ(pathvalue::strippedLength("dir.d/x"), 7u);
    EXPECT_EQ(pathvalue::strippedLength("dir.d\\x.y"), 7u);
    EXPECT_EQ(pathvalue::strippedLength("a/..."), 4u);
    EXPECT_EQ(pathvalue::strippedLength("."), 1u);
    EXPECT_EQ(pathvalue::strippedLength(""), 0u);
}

TEST(PatternPositions, EachSearchStartsOneByteAfterThePreviousHit)
{
    auto positions = [](std::string const& path, std::vector<std::string> const& texts) {
        std::vector<MetadataPattern> patterns;
        for (std::string const& text : texts)
            patterns.emplace_back(text, MetadataPattern::Numeric);
        std::vector<std::size_t> found;
        bool const ok = pathvalue::findPatternPositions(path, patterns, found);
        std::string out = ok ? "" : "missing:";
        for (std::size_t p : found)
            out += std::to_string(p) + " ";
        return out;
    };
    EXPECT_EQ(positions("Re=1/Re=2", {"Re=", "Re="}), "0 5 9 ");
    EXPECT_EQ(positions("aaa", {"aa", "aa"}), "0 1 3 "); // occurrences may overlap
    EXPECT_EQ(positions("xx=1", {"", "x", ""}), "0 1 2 4 ");
    EXPECT_EQ(positions("ab", {"b", ""}), "1 2 2 ");
    EXPECT_EQ(positions("ab", {"b", "", ""}), "missing:1 2 2 ");
    EXPECT_EQ(positions("a=1/b=2", {"b=", "a="}), "missing:4 7 ");
    EXPECT_EQ(positions("", {}), "0 ");
}

} // namespace
