#include "support/PathOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(PathOrder, WalksEnterADirectoryBeforeWhatIsBelowItThenItsNextSibling)
{
    struct Row {
        char const* a;
        char const* b;
        bool before;
    };
    Row const rows[] = {
        {"a", "a/x", true},    {"a/x", "a", false}, {"a", "a", false},      {"a/x", "a-1", true},
        {"a-1", "a/x", false}, {"a/z", "b", true},  {"ab", "a/b", false},   {"a/b/c", "a/c", true},
        {"", "a", true},       {"a", "", false},    {"a\xe9", "a~", false}, {"x/a/b", "x/a/b/c", true},
    };
    for (Row const& row : rows)
        EXPECT_EQ(support::walksBefore(row.a, row.b), row.before) << row.a << " | " << row.b;
}

// `count` paths, some repeated, in an order like a crawl's: ascending with
// runs out of place; or shuffled, or descending, or of few distinct keys.
std::vector<std::string> generatedKeys(std::mt19937& random, std::size_t count, int kind)
{
    auto const below = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    static char const* const pieces[] = {"Re=", "1", "2.5", "/", "/", "a", "b.c", "..", "\\", "\xff"};
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < count; ++i) {
        std::string key;
        for (std::size_t n = kind == 3 ? 1 : 1 + below(8); n > 0; --n)
            key += kind == 3 ? std::string(1, char('a' + below(3))) : pieces[below(std::size(pieces))];
        keys.push_back(below(8) == 0 && !keys.empty() ? keys[below(keys.size())] : key);
    }
    if (kind == 1 || kind == 3)
        return keys;
    std::sort(keys.begin(), keys.end());
    for (std::size_t moves = below(4); moves > 0 && keys.size() > 2; --moves) {
        std::size_t const from = below(keys.size() - 1);
        std::size_t const length = 1 + below(keys.size() - from - 1);
        std::rotate(keys.begin() + from, keys.begin() + from + length / 2, keys.begin() + from + length);
    }
    if (kind == 2)
        std::reverse(keys.begin(), keys.end());
    return keys;
}

TEST(PathOrder, SortsLikeStableSortWhateverTheOrder)
{
    std::mt19937 random(3);
    // Keys with their position, compared by key only, so that the order of
    // ties shows.
    using Item = std::pair<std::string, std::size_t>;
    auto const byKey = [](Item const& a, Item const& b) { return a.first < b.first; };
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> const keys = generatedKeys(random, random() % 200, round % 4);
        std::vector<Item> items;
        for (std::size_t i = 0; i < keys.size(); ++i)
            items.emplace_back(keys[i], i);
        std::vector<Item> expected = items;
        std::stable_sort(expected.begin(), expected.end(), byKey);
        support::stableSortAlmostSorted(items, byKey);
        ASSERT_EQ(items, expected) << "round " << round;
    }
}

} // namespace
