#include "support/PathOrder.h"

#include <gtest/gtest.h>

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

// stableSortAlmostSorted() is compared with std::stable_sort on a crawl's
// paths in CrawlerBasicImporterParserTest.

} // namespace
