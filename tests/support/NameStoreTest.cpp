#include "support/NameStore.h"
#include "support/Varint.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

TEST(Varint, SevenBitsAByteLowestFirst)
{
    struct Row {
        std::size_t value;
        std::string bytes;
    };
    Row const rows[] = {
        {0, std::string(1, '\0')},
        {1, "\x01"},
        {127, "\x7f"},
        {128, "\x80\x01"},
        {300, "\xac\x02"},
        {16383, "\xff\x7f"},
        {16384, std::string("\x80\x80\x01")},
        {std::numeric_limits<std::uint32_t>::max(), "\xff\xff\xff\xff\x0f"},
        {std::numeric_limits<std::size_t>::max(), "\xff\xff\xff\xff\xff\xff\xff\xff\xff\x01"},
    };
    std::string all;
    for (Row const& row : rows) {
        std::string bytes;
        support::appendVarint(bytes, row.value);
        EXPECT_EQ(bytes, row.bytes) << row.value;
        all += bytes;
    }
    std::size_t offset = 0;
    for (Row const& row : rows)
        EXPECT_EQ(support::readVarint(all, offset), row.value);
    EXPECT_EQ(offset, all.size());
}

// Every name comes back, read forwards, backwards, by leaps and across the names
// stored whole; isAscending() tells strictly ascending lists.
TEST(NameStore, GivesBackEveryNameAndTellsAscendingLists)
{
    struct Row {
        std::vector<std::string> names;
        bool ascending;
    };
    std::vector<std::string> many;
    for (int i = 0; i < 40; ++i)
        many.push_back("Re=" + std::to_string(100 + i) + "/solution.vtu");
    std::vector<std::string> manyThenFirst = many;
    manyThenFirst.push_back(many.front());
    Row const rows[] = {
        {{}, true},
        {{""}, true},
        {{"a", "ab", "b"}, true},
        {{"ab", "a"}, false},
        {{"a", "a"}, false},
        {{"a\x7f", "a\x80", "a\xff"}, true},
        {{"a\xff", "a\x01"}, false},
        {{std::string(300, 'x'), std::string(300, 'x') + "y", "", std::string("\0\0", 2)}, false},
        {many, true},
        {manyThenFirst, false},
        {{"abcdef", "abcxyz", "ab", "abzzzz", "abzzzzq", "b", "bcd"}, false},
    };
    for (Row const& row : rows) {
        support::NameStore store;
        for (std::string const& name : row.names)
            store.append(name);
        ASSERT_EQ(store.size(), row.names.size());
        EXPECT_EQ(store.isAscending(), row.ascending) << row.names.size() << " names";
        support::NameStore::Reader reader(store);
        for (std::size_t i = 0; i < row.names.size(); ++i)
            EXPECT_EQ(reader.at(i), row.names[i]) << i;
        for (std::size_t i = row.names.size(); i-- > 0;)
            EXPECT_EQ(reader.at(i), row.names[i]) << i;
        for (std::size_t const stride : {3, 17})
            for (std::size_t i = 1; i < row.names.size(); i += stride)
                EXPECT_EQ(reader.at(i), row.names[i]) << i << " by " << stride;
    }
}

} // namespace
