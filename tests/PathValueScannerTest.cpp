// Where the pattern texts are found in a path, and where numeric and text
// values end; which whole texts are numbers. The parser, the case table, the
// explanation and the warnings rely on these.
#include "filecrawler/private/PathValueScanner.h"
#include "filecrawler/MetadataValueNumber.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

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
        {"x=-4/", "-4"},    {"x=1.5D+3/", "1.5D+3"}, {"x=.5/", ".5"},    {"x=+.5", "+.5"},
        {"x=4d2", "4d2"},   {"x=-.5e-3x", "-.5e-3"}, {"x=5.e3", "5.e3"}, {"T=300.dat", "300"},
        {"x=2e/", "2"},     {"x=12e-", "12"},        {"x=3E+", "3"},     {"x=1ee2", "1"},
        {"x=1.5.6", "1.5"}, {"x=1e5.", "1e5"}};
    for (auto const& [segment, value] : cases)
        EXPECT_EQ(valueIn(true, segment), value) << segment;
    // No number where the value starts; the last rows start at or past the
    // segment's end, never reading past it.
    std::pair<std::string, std::size_t> const errors[] = {
        {"x=abc/", 2}, {"x=+/", 2}, {"x=./", 2}, {"x=--1", 2}, {"x=e5", 2}, {"x=", 2}, {"R", 3}};
    for (auto const& [segment, start] : errors)
        EXPECT_EQ(valueIn(true, segment, start), "-") << segment;
    EXPECT_EQ(valueIn(true, std::string("x=12", 3)), "1");
}

// A whole value text is a number by the same rule, D exponents included;
// beyond the range of double it is infinity, below it zero.
TEST(PathValueScanner, WholeTextsThatAreNumbersGiveTheNearestDouble)
{
    double const inf = std::numeric_limits<double>::infinity();
    std::pair<char const*, double> const cases[] = {{"1.0D+03", 1000},   {"2d3", 2000},    {"007", 7},
                                                    {"-.5e-3", -0.0005}, {"+.5", 0.5},     {"5.e3", 5000},
                                                    {"1e999", inf},      {"-1e999", -inf}, {"1e-999", 0}};
    for (auto const& [text, number] : cases)
        EXPECT_EQ(metadataValueNumber(text), number) << text;
    for (char const* text : {"12e", "", "abc", "1.", "1e5x", " 1", "nan", "inf", "0x10"})
        EXPECT_FALSE(metadataValueNumber(text)) << text;
}

TEST(PathValueScanner, TextsEndAtASeparatorOrAtTheEndWithoutExtensions)
{
    std::pair<char const*, char const*> const cases[] = {
        {"x=0.5/out.dat", "0.5"}, {"T=1.5/2.5/out.dat", "1.5"}, {"x=/y", ""},  {"T=a/", "a"}, {"c=a\\b", "a"},
        {"T=300.dat", "300"},     {"c=case12.2.3", "case12"},   {"T=ab", "ab"}};
    for (auto const& [segment, value] : cases)
        EXPECT_EQ(valueIn(false, segment), value) << segment;
    // At the end, with the last component's extensions stripped, a text
    // needs two characters.
    std::pair<char const*, std::size_t> const errors[] = {
        {"T=5.dat", 2}, {"T=.dat", 2}, {"T=a", 2}, {"T=", 2}, {"R", 3}};
    for (auto const& [segment, start] : errors)
        EXPECT_EQ(valueIn(false, segment, start), "-") << segment;
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

} // namespace
