#include "filecrawler/PathValueScanner.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace
