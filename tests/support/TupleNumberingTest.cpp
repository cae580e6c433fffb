#include "support/TupleNumbering.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using Tuple = std::vector<std::string>;

std::size_t numberOf(support::TupleNumbering& numbering, Tuple const& tuple)
{
    return numbering.number([&](std::size_t i) { return std::string_view(tuple[i]); }, tuple.size());
}

// Numbers in the order tuples are first met, tuples of other lengths apart,
// the same again after the table has grown, none after clear().
TEST(TupleNumbering, NumbersTuplesInTheOrderFirstMet)
{
    struct Row {
        Tuple tuple;
        std::size_t number;
    };
    Row const rows[] = {
        {{"100", "0.5"}, 0},
        {{"100", "0.5"}, 0},
        {{"200", "0.5"}, 1},
        {{"100", "0.5"}, 0},
        {{"100"}, 2},
        {{"100", ""}, 3},
        {{}, 4},
        {{"1000", ".5"}, 5},
        {{"200", "0.5"}, 1},
    };
    support::TupleNumbering numbering;
    for (Row const& row : rows)
        EXPECT_EQ(numberOf(numbering, row.tuple), row.number) << row.tuple.size();
    for (std::size_t i = 0; i < 500; ++i)
        EXPECT_EQ(numberOf(numbering, {"x", std::to_string(i)}), 6 + i);
    for (Row const& row : rows)
        EXPECT_EQ(numberOf(numbering, row.tuple), row.number);
    ASSERT_EQ(numbering.size(), 506u);
    EXPECT_EQ(numbering.tuple(1), (Tuple{"200", "0.5"}));
    EXPECT_EQ(numbering.tuple(505), (Tuple{"x", "499"}));
    numbering.clear();
    EXPECT_EQ(numbering.size(), 0u);
    EXPECT_EQ(numberOf(numbering, {"200", "0.5"}), 0u);
}

} // namespace
